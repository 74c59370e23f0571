#include "app/Unit1.h"

#include <climits>

#include "app/DesignDefaults.h"
#include "app/Hosts.h"
#include "framework/Convert.h"
#include "framework/Dialogs.h"
#include "framework/Scopes.h"
#include "framework/StreamAdapter.h"
#include "framework/Streams.h"
#include "framework/Strings.h"
#include "framework/TextFile.h"

TForm1* Form1 = nullptr;
AnsiString ServerLine;
bool GridRightClicked = false;

TCursorPosProc CursorPosProc = [] {
  POINT P{0, 0};
  GetCursorPos(&P);
  return Point(P.x, P.y);
};

// ---- The stored description -----------------------------------------------------------------

void TForm1::InitializeComponents() {
  SetLeft(190);
  SetTop(145);
  SetBorderStyle(bsSingle);
  SetCaption(L"Tavisko TV 4.0");
  SetClientHeight(441);
  SetClientWidth(788);
  SetColor(clBlack);
  SetDesignFont(Font());
  LoadProgramIcon(this);
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  OnShow = [this](TObject* Sender) { FormShow(Sender); };

  sSplitter1 = new TsSplitter(this);
  sSplitter1->SetName("sSplitter1");
  sSplitter1->SetParent(this);
  sSplitter1->SetBounds(647, 0, 1, 441);
  sSplitter1->SetAlign(alRight);
  sSplitter1->SkinData()->SetSkinSection("SPLITTER");

  NxGrid1 = new TNxGrid(this);
  NxGrid1->SetName("NxGrid1");
  NxGrid1->SetParent(this);
  NxGrid1->SetBounds(648, 0, 140, 441);
  NxGrid1->SetAlign(alRight);
  NxGrid1->SetGridLinesColor(clWhite);
  NxGrid1->SetGridLinesStyle(lsActiveRows);
  NxGrid1->SetInactiveSelectionColor(clWhite);
  NxGrid1->SetOptions({});
  NxGrid1->SetSlidesOptions({soHideSelection});
  NxGrid1->SetTabStop(true);
  NxGrid1->OnMouseDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
    NxGrid1MouseDown(Sender, Button, Shift, X, Y);
  };
  NxGrid1->OnSelectCell = [this](TObject* Sender, int ACol, int ARow) { NxGrid1SelectCell(Sender, ACol, ARow); };
  NxTextColumn1 = NxGrid1->Columns()->AddColumn<TNxTextColumn>(this);
  NxTextColumn1->SetName("NxTextColumn1");
  NxTextColumn1->SetDefaultWidth(138);
  NxTextColumn1->SetOptions({coAutoSize, coCanClick, coCanInput, coCanSort, coPublicUsing, coShowTextFitHint});
  NxTextColumn1->SetPosition(0);
  NxTextColumn1->SetSortType(stAlphabetic);
  NxTextColumn1->SetWidth(138);

  Panel1 = new TPanel(this);
  Panel1->SetName("Panel1");
  Panel1->SetParent(this);
  Panel1->SetBounds(0, 0, 185, 41);
  Panel1->SetVisible(false);
  WebBrowser2 = new TWebBrowser(this);
  WebBrowser2->SetName("WebBrowser2");
  WebBrowser2->SetParent(Panel1);
  WebBrowser2->SetBounds(1, 1, 183, 39);

  WebBrowser1 = new TWebBrowser(this);
  WebBrowser1->SetName("WebBrowser1");
  WebBrowser1->SetParent(this);
  WebBrowser1->SetBounds(0, 0, 647, 441);
  WebBrowser1->SetAlign(alClient);
  WebBrowser1->OnNewWindow2 = [this](TObject* Sender, IDispatch*& ppDisp, bool& Cancel) {
    WebBrowser1NewWindow2(Sender, ppDisp, Cancel);
  };

  sSkinManager1 = new TsSkinManager(this);
  sSkinManager1->SetName("sSkinManager1");
  TsStoredSkin* Stored = sSkinManager1->InternalSkins()->Add();
  Stored->SetName("Office2007 Black (internal)");
  // The stored skin's packed data: the program's own dark skin, a resource of the program file.
  {
    TResourceStream SkinPack(GetModuleHandleW(nullptr), "DEFAULTSKIN", MAKEINTRESOURCEA(10));  // RT_RCDATA
    Stored->ReadData(SkinPack);
  }
  sSkinManager1->MenuSupport()->SetIcoLineSkin("ICOLINE");
  sSkinManager1->SetSkinDirectory("c:\\Skins");
  sSkinManager1->SetSkinName("Office2007 Black (internal)");
  sSkinManager1->SetSkinInfo("7");
  for (int Kind = 0; Kind < ThirdPartyKindCount; ++Kind)
    sSkinManager1->ThirdParty()->SetTexts(Kind, Kind == tpButton ? "TButton" : " ");

  IdHTTP1 = new TIdHTTP(this);
  IdHTTP1->SetName("IdHTTP1");
}

TForm1::~TForm1() { *FAlive = false; }

// ---- Start-up and the channel list --------------------------------------------------------------

void TForm1::FormCreate(TObject* Sender) {
  TTextFileReader F;
  F.Open("server.txt");
  ServerLine = F.ReadLine();
  F.Close();
  LoadChannelList();
}

void LoadChannelList() {
  TTextFileReader F;
  LoadChannelList(F);
}

void LoadChannelList(TTextFileReader& F) {
  if (Form1 == nullptr || Form1->NxGrid1 == nullptr)
    throw EInvalidOperation("The channel list needs the main window, which does not exist");
  F.Open("list.txt");
  // The grid is refreshed once, with all the lines, instead of after each one.
  Form1->NxGrid1->BeginUpdate();
  TScopeExit EndUpdate([Grid = Form1->NxGrid1] { Grid->EndUpdate(); });
  int I = 1;
  while (!F.Eof()) {
    const AnsiString Line = F.ReadLine();
    Form1->NxGrid1->AddRow(1);
    Form1->NxGrid1->SetCells(0, I - 1, AnsiToWide(Line));
    ++I;
  }
  F.Close();
}

void TForm1::FormShow(TObject* Sender) {
  const TPoint P = CursorPosProc ? CursorPosProc() : Point(0, 0);
  if (P.X < 100) ShowMessage(L"OK");
}

void TForm1::NxGrid1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbRight) GridRightClicked = true;
}

void TForm1::WebBrowser1NewWindow2(TObject* Sender, IDispatch*& ppDisp, bool& Cancel) {}

// ---- The player page ----------------------------------------------------------------------------

AnsiString ExtractBetween(const AnsiString& StartDelim, const AnsiString& EndDelim, const AnsiString& S) {
  // P: where StartDelim stands (0 when absent); T: what follows it. An absent one-character
  // delimiter thus leaves the whole of S.
  const int P = Pos(StartDelim, S);
  const AnsiString T = Copy(S, P + static_cast<int>(StartDelim.size()), INT_MAX);
  const int Q = Pos(EndDelim, T);
  return Copy(T, 1, Q - 1);
}

AnsiString ExtractChannelId(const AnsiString& S) { return ExtractBetween("|", ",", S); }

AnsiString SpecialPageAddress() { return AnsiString("http://") + SpecialPageHost + "/page1.html"; }

AnsiString BuildPlayerPage(int Id) {
  AnsiString Page;
  Page += "<html> <head> </head> <body bgcolor=\"#000000\">";
  Page += "    ";
  Page += "<object type=\"application/x-shockwave-flash\" width=\"600\" height=\"400\">";
  Page += "   ";
  Page += "<param name=\"movie\" value=\"http://";
  Page += PlayerFileHost;
  Page += "/flashplay/VUDIPlayer.swf\">";
  Page += "   ";
  Page += "</param><param name=\"allowFullScreen\" value=\"true\">";
  Page += "   ";
  Page += "</param><param name=\"allowScriptAccess\" value=\"always\">";
  Page += "   ";
  Page += "</param><param name=\"flashvars\" value=\"src=http://";
  Page += StreamServer;
  Page += ":5021/live/";
  Page += IntToStr(Id);
  Page += "|c03&usep2p=0\"";
  Page += "  </object> ";
  Page += "</body> ";
  Page += "</html> ";
  return Page;
}

void TForm1::NxGrid1SelectCell(TObject* Sender, int ACol, int ARow) {
  if (GridRightClicked) return;
  // The grid also reports a selection of no row (Tab before any row was chosen, a selection
  // cleared): no channel is chosen, and the page shown stays.
  if (ARow < 0 || ARow >= NxGrid1->RowCount()) return;
  // The newest selection wins: a page of an earlier selection still loading is given up, also
  // when this one goes to the special page or names no channel.
  ++FLoadSerial;
  const AnsiString Text = WideToAnsi(NxGrid1->Cells(ACol, ARow));
  const int Id = StrToInt(ExtractChannelId(Text));
  if (Id == 666) {
    WebBrowser1->Navigate(SpecialPageAddress());
    return;
  }
  LoadHtml(BuildPlayerPage(Id));
}

// ---- Loading a page into the browser ------------------------------------------------------------

void TForm1::LoadHtml(const AnsiString& HTML) {
  const unsigned Serial = ++FLoadSerial;
  const std::shared_ptr<bool> Alive = FAlive;
  WebBrowser1->Navigate(AnsiString("about:blank"));
  // Wait for the document, handling messages and sleeping while there are none. Anything may
  // run meanwhile: the application may end, the form may go, another page may be asked for.
  while (static_cast<unsigned>(WebBrowser1->ReadyState()) < READYSTATE_INTERACTIVE) {
    Application->HandleMessage();
    if (!*Alive || Application->Terminated() || Serial != FLoadSerial) return;
  }
  if (Serial != FLoadSerial) return;
  if (WebBrowser1->Document() == nullptr) return;

  // The adapter owns the memory stream: the stream lives as long as the document keeps the
  // IStream it was loaded from.
  auto* Stream = new TMemoryStream();
  IStream* Adapter;
  try {
    Stream->WriteBuffer(HTML.data(), static_cast<int64_t>(HTML.size()));
    Stream->SetPosition(0);
    Adapter = TStreamAdapter::Create(Stream, soOwned);
  } catch (...) {
    delete Stream;
    throw;
  }
  struct TRelease {
    IUnknown* P;
    ~TRelease() {
      if (P != nullptr) P->Release();
    }
  } HoldAdapter{Adapter};

  IPersistStreamInit* Persist = nullptr;
  if (FAILED(WebBrowser1->Document()->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&Persist))) ||
      Persist == nullptr)
    throw EIntfCastError("Interface not supported");
  TRelease HoldPersist{Persist};
  Persist->Load(Adapter);
}
