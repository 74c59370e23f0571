// Unit1: the main window of the channel viewer (TForm1) and its routines: the channel list read
// from "list.txt" into the grid, the player page built for a selected channel and its loading
// into the browser control.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/IdHTTP.h"
#include "framework/TextFile.h"
#include "framework/WebBrowser.h"
#include "grid/NxColumnClasses.h"
#include "grid/NxGrid.h"
#include "skin/controls/sSplitter.h"
#include "skin/core/sSkinManager.h"

class TForm1 : public TForm {
  T_CLASS(TForm1, TForm)

 public:
  using TForm::TForm;
  ~TForm1() override;

  // Published fields, in declaration order.
  TNxGrid* NxGrid1 = nullptr;
  TsSplitter* sSplitter1 = nullptr;
  TsSkinManager* sSkinManager1 = nullptr;
  TPanel* Panel1 = nullptr;
  TWebBrowser* WebBrowser2 = nullptr;
  TIdHTTP* IdHTTP1 = nullptr;
  TWebBrowser* WebBrowser1 = nullptr;
  TNxTextColumn* NxTextColumn1 = nullptr;

  // Reads the first line of "server.txt" into ServerLine, then the channel list
  // (LoadChannelList). File failures raise EInOutError.
  void FormCreate(TObject* Sender);
  // Shows the "OK" box when the pointer (CursorPosProc) is left of screen X 100.
  void FormShow(TObject* Sender);
  // A right button press sets GridRightClicked.
  void NxGrid1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  // Loads the page of the selected channel (unless GridRightClicked): the channel id between the
  // row's first '|' and the next ',' (EConvertError when it is no integer); id 666 navigates to
  // the special page instead. A page of an earlier selection that still loads is given up.
  void NxGrid1SelectCell(TObject* Sender, int ACol, int ARow);
  // Leaves new windows to the browser.
  void WebBrowser1NewWindow2(TObject* Sender, IDispatch*& ppDisp, bool& Cancel);
  // Navigates WebBrowser1 to "about:blank", waits (handling messages) until it is at least
  // interactive, and loads HTML into its document through IPersistStreamInit.Load. The wait
  // sleeps in the message loop between messages, and gives up, loading nothing, when the
  // application terminates, the form is destroyed, or a newer LoadHtml starts meanwhile (the
  // newest page is the one that stays). A document without IPersistStreamInit raises
  // EIntfCastError "Interface not supported".
  void LoadHtml(const AnsiString& HTML);

 protected:
  void InitializeComponents() override;

 private:
  // Cleared when the form is destroyed; a wait in LoadHtml holds a copy.
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
  unsigned FLoadSerial = 0;
};

// Program-wide variables.
extern TForm1* Form1;
// The first line of "server.txt".
extern AnsiString ServerLine;
// Set by a right button press on the grid; while set, selections load nothing.
extern bool GridRightClicked;

// Where FormShow reads the pointer position (screen coordinates); tests replace it.
using TCursorPosProc = std::function<TPoint()>;
extern TCursorPosProc CursorPosProc;

// Reads "list.txt" (current directory) into Form1->NxGrid1: one row per line, in file order,
// each line whole as the cell text of column 0. EInvalidOperation when Form1 does not exist;
// file failures raise EInOutError (rows added before stay, and the grid ends its update).
void LoadChannelList();
// The same through the given reader, which opens and reads the file.
void LoadChannelList(TTextFileReader& Reader);
// The part of S after the first StartDelim and before the next EndDelim (see the .cpp).
AnsiString ExtractBetween(const AnsiString& StartDelim, const AnsiString& EndDelim, const AnsiString& S);
// The channel id text of a channel line: ExtractBetween("|", ",", S).
AnsiString ExtractChannelId(const AnsiString& S);
// The player page of a channel id, byte for byte.
AnsiString BuildPlayerPage(int Id);
// The address that channel id 666 opens.
AnsiString SpecialPageAddress();
