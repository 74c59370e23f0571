// Developer tool: a small program built from the framework's forms and standard controls, to
// see them at work. A tool bar panel with a label, an edit, a button and a check box; a side
// panel beside a splitter; a bar chart that paints itself; a status line; a menu bar and a
// pop-up menu on the chart.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/Dialogs.h"
#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/Menus.h"
#include "framework/StdCtrls.h"

namespace {

// A bar chart of a few monthly figures with a title, a value grid and the values over the bars.
class TBarChart : public TCustomControl {
  T_CLASS(TBarChart, TCustomControl)

 public:
  explicit TBarChart(TComponent* AOwner) : TCustomControl(AOwner) {
    SetColor(clWindow);
    FControlStyle = FControlStyle + csOpaque;
  }

  void SetTitle(const WideString& Value) {
    FTitle = Value;
    Invalidate();
  }
  void SetShowValues(bool Value) {
    FShowValues = Value;
    Invalidate();
  }
  bool ShowValues() const { return FShowValues; }
  void Shuffle() {
    for (std::size_t I = 0; I < FValues.size(); ++I) FValues[I] = 20 + static_cast<int>((FValues[I] * 37 + I * 11) % 80);
    Invalidate();
  }

 protected:
  void Paint() override {
    TCanvas* C = Canvas();
    const TRect R = ClientRect();
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(Color());
    C->FillRect(R);

    // The title.
    C->Font()->Assign(Font());
    C->Font()->SetName("Tahoma");
    C->Font()->SetHeight(-15);
    C->Font()->SetStyle({fsBold});
    C->Brush()->SetStyle(bsClear);
    TRect TitleRect = Rect(R.Left, R.Top + 8, R.Right, R.Top + 32);
    WideString Title = FTitle;
    C->TextRect(TitleRect, Title, TTextFormat{tfCenter, tfSingleLine, tfVerticalCenter});

    // The plot area with its grid and the scale.
    const TRect P = Rect(R.Left + 44, R.Top + 44, R.Right - 16, R.Bottom - 30);
    if (P.Width() < 40 || P.Height() < 40) return;
    C->Font()->Assign(Font());
    for (int V = 0; V <= 100; V += 25) {
      const int Y = P.Bottom - P.Height() * V / 100;
      C->Pen()->SetColor(V == 0 ? clWindowText : clSilver);
      C->MoveTo(P.Left, Y);
      C->LineTo(P.Right, Y);
      TRect L = Rect(R.Left, Y - 8, P.Left - 6, Y + 8);
      WideString Text = std::to_wstring(V);
      C->TextRect(L, Text, TTextFormat{tfRight, tfSingleLine, tfVerticalCenter});
    }
    C->Pen()->SetColor(clWindowText);
    C->MoveTo(P.Left, P.Top);
    C->LineTo(P.Left, P.Bottom + 1);

    // The bars, each with its month below and its value above.
    static const TColor Colors[] = {0xC07030, 0x3080E0, 0x40A040, 0x3040C0, 0x9050A0, 0x20A0C0};
    static const wchar_t* const Months[] = {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun"};
    const int N = static_cast<int>(FValues.size());
    const int Slot = P.Width() / N;
    const int BarWidth = std::max(Slot * 3 / 5, 4);
    for (int I = 0; I < N; ++I) {
      const int X = P.Left + I * Slot + (Slot - BarWidth) / 2;
      const int Top = P.Bottom - P.Height() * FValues[static_cast<std::size_t>(I)] / 100;
      C->Brush()->SetStyle(bsSolid);
      C->Brush()->SetColor(Colors[I % 6]);
      C->Pen()->SetColor(clGray);
      C->Rectangle(X, Top, X + BarWidth, P.Bottom + 1);
      C->Brush()->SetStyle(bsClear);
      TRect M = Rect(X - 10, P.Bottom + 4, X + BarWidth + 10, P.Bottom + 20);
      WideString Month = Months[I % 6];
      C->TextRect(M, Month, TTextFormat{tfCenter, tfSingleLine});
      if (FShowValues) {
        TRect V = Rect(X - 10, Top - 16, X + BarWidth + 10, Top - 2);
        WideString Value = std::to_wstring(FValues[static_cast<std::size_t>(I)]);
        C->TextRect(V, Value, TTextFormat{tfCenter, tfSingleLine, tfBottom});
      }
    }
  }

 private:
  WideString FTitle = L"Monthly sales";
  bool FShowValues = true;
  std::vector<int> FValues{42, 67, 35, 88, 56, 73};
};

class TDemoForm : public TForm {
  T_CLASS(TDemoForm, TForm)

 public:
  using TForm::TForm;

  TMainMenu* MainMenu1 = nullptr;
  TMenuItem* ViewSidePanel = nullptr;
  TMenuItem* ViewValues = nullptr;
  TPanel* ToolPanel = nullptr;
  TLabel* TitleLabel = nullptr;
  TEdit* TitleEdit = nullptr;
  TButton* ApplyButton = nullptr;
  TCheckBox* ValuesCheck = nullptr;
  TPanel* SidePanel = nullptr;
  TLabel* SideLabel = nullptr;
  TSplitter* Splitter1 = nullptr;
  TBarChart* Chart = nullptr;
  TPanel* StatusPanel = nullptr;
  TPopupMenu* ChartMenu = nullptr;

 protected:
  void InitializeComponents() override {
    SetCaption(WideString(L"Framework demo"));
    SetPosition(poScreenCenter);
    SetClientWidth(600);
    SetClientHeight(380);

    MainMenu1 = new TMainMenu(this);
    TMenuItem* File = AddItem(MainMenu1->Items(), L"&File");
    AddItem(File, L"&New chart", ShortCut('N', {ssCtrl}))->OnClick = [this](TObject*) { NewChart(); };
    AddItem(File, L"-");
    AddItem(File, L"E&xit", ShortCut(VK_F4, {ssAlt}))->OnClick = [this](TObject*) { Close(); };
    TMenuItem* View = AddItem(MainMenu1->Items(), L"&View");
    ViewSidePanel = AddItem(View, L"&Side panel");
    ViewSidePanel->SetChecked(true);
    ViewSidePanel->OnClick = [this](TObject*) { ShowSidePanel(!SidePanel->Visible()); };
    ViewValues = AddItem(View, L"&Values");
    ViewValues->SetChecked(true);
    ViewValues->OnClick = [this](TObject*) { ValuesCheck->SetChecked(!ValuesCheck->Checked()); };
    TMenuItem* Help = AddItem(MainMenu1->Items(), L"&Help");
    AddItem(Help, L"&About...")->OnClick = [this](TObject*) {
      ShowMessage(L"A form made of the framework's panels, splitter, label, edit, buttons and menus.");
    };
    SetMenu(MainMenu1);

    ToolPanel = new TPanel(this);
    ToolPanel->SetParent(this);
    ToolPanel->SetAlign(alTop);
    ToolPanel->SetHeight(40);
    ToolPanel->SetBevelOuter(bvNone);

    TitleLabel = new TLabel(this);
    TitleLabel->SetParent(ToolPanel);
    TitleLabel->SetBounds(10, 13, 60, 13);
    TitleLabel->SetCaption(WideString(L"Chart &title:"));

    TitleEdit = new TEdit(this);
    TitleEdit->SetParent(ToolPanel);
    TitleEdit->SetBounds(80, 9, 200, 21);
    TitleEdit->SetText(WideString(L"Monthly sales"));
    TitleLabel->SetFocusControl(TitleEdit);

    ApplyButton = new TButton(this);
    ApplyButton->SetParent(ToolPanel);
    ApplyButton->SetBounds(290, 7, 75, 25);
    ApplyButton->SetCaption(WideString(L"&Apply"));
    ApplyButton->SetDefault(true);
    ApplyButton->OnClick = [this](TObject*) {
      Chart->SetTitle(TitleEdit->Text());
      SetStatus(L"Title changed");
    };

    ValuesCheck = new TCheckBox(this);
    ValuesCheck->SetParent(ToolPanel);
    ValuesCheck->SetBounds(380, 11, 110, 17);
    ValuesCheck->SetCaption(WideString(L"Show &values"));
    ValuesCheck->SetChecked(true);
    ValuesCheck->OnClick = [this](TObject*) {
      Chart->SetShowValues(ValuesCheck->Checked());
      ViewValues->SetChecked(ValuesCheck->Checked());
    };

    StatusPanel = new TPanel(this);
    StatusPanel->SetParent(this);
    StatusPanel->SetAlign(alBottom);
    StatusPanel->SetHeight(22);
    StatusPanel->SetBevelOuter(bvLowered);
    StatusPanel->SetAlignment(taLeftJustify);

    SidePanel = new TPanel(this);
    SidePanel->SetParent(this);
    SidePanel->SetAlign(alLeft);
    SidePanel->SetWidth(150);
    SidePanel->SetBevelOuter(bvLowered);
    SidePanel->SetBorderWidth(6);

    SideLabel = new TLabel(this);
    SideLabel->SetParent(SidePanel);
    SideLabel->SetAutoSize(false);
    SideLabel->SetAlign(alClient);
    SideLabel->SetWordWrap(true);
    SideLabel->SetCaption(WideString(
        L"Monthly figures\r\n\r\nDrag the splitter to resize this panel.\r\n\r\n"
        L"Type a title and press Enter or Apply.\r\n\r\nRight-click the chart for more."));

    Splitter1 = new TSplitter(this);
    Splitter1->SetParent(this);
    Splitter1->SetAlign(alLeft);
    Splitter1->SetLeft(150);
    Splitter1->SetWidth(4);
    Splitter1->SetMinSize(80);
    Splitter1->OnMoved = [this](TObject*) {
      SetStatus(L"Side panel width: " + std::to_wstring(SidePanel->Width()));
    };

    Chart = new TBarChart(this);
    Chart->SetParent(this);
    Chart->SetAlign(alClient);

    ChartMenu = new TPopupMenu(this);
    AddItem(ChartMenu->Items(), L"&Shuffle values")->OnClick = [this](TObject*) {
      Chart->Shuffle();
      SetStatus(L"Values shuffled");
    };
    AddItem(ChartMenu->Items(), L"&Hide side panel")->OnClick = [this](TObject*) { ShowSidePanel(false); };
    Chart->SetPopupMenu(ChartMenu);

    SetStatus(L"Ready");
    OnCreate = [this](TObject*) { ActiveControlChanged(); };
  }

 private:
  TMenuItem* AddItem(TMenuItem* Parent, const WideString& Caption, TShortCut Key = 0) {
    auto* Item = new TMenuItem(this);
    Item->SetCaption(Caption);
    Item->SetShortCut(Key);
    Parent->Add(Item);
    return Item;
  }

  void SetStatus(const WideString& Text) { StatusPanel->SetCaption(L"  " + Text); }

  void ShowSidePanel(bool Value) {
    SidePanel->SetVisible(Value);
    Splitter1->SetVisible(Value);
    if (Value) Splitter1->SetLeft(SidePanel->Left() + SidePanel->Width());
    ViewSidePanel->SetChecked(Value);
  }

  void NewChart() {
    TitleEdit->SetText(WideString(L"New chart"));
    Chart->SetTitle(TitleEdit->Text());
    SetStatus(L"New chart");
  }

  void ActiveControlChanged() { SetActiveControl(TitleEdit); }
};

TDemoForm* DemoForm = nullptr;

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  try {
    Application->Initialize();
    Application->SetTitle(WideString(L"Framework demo"));
    Application->CreateForm(DemoForm);
    Application->Run();
  } catch (...) {
    Application->HandleException(Application);
  }
  return 0;
}
