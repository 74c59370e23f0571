// The gallery's system dialog.
#include "GalleryDialog.h"

#include <initializer_list>

namespace gallery {

namespace {

INT_PTR CALLBACK ChannelDialogProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM) {
  switch (Msg) {
    case WM_INITDIALOG: {
      SetDlgItemTextW(Wnd, IDC_CHANNEL_NAME, L"First News");
      for (const wchar_t* Group : {L"News", L"Sports", L"Films", L"Music"})
        SendDlgItemMessageW(Wnd, IDC_CHANNEL_GROUP, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Group));
      SendDlgItemMessageW(Wnd, IDC_CHANNEL_GROUP, CB_SETCURSEL, 0, 0);
      for (const wchar_t* Channel : {L"First News", L"Sport Live", L"Cinema One", L"Music Box", L"Weather"})
        SendDlgItemMessageW(Wnd, IDC_CHANNEL_FAVOURITES, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Channel));
      SendDlgItemMessageW(Wnd, IDC_CHANNEL_FAVOURITES, LB_SETCURSEL, 1, 0);
      CheckDlgButton(Wnd, IDC_CHANNEL_MUTED, BST_CHECKED);
      CheckRadioButton(Wnd, IDC_CHANNEL_STANDARD, IDC_CHANNEL_HIGH, IDC_CHANNEL_HIGH);
      // The focus on the default button: no selection shows in the edit.
      SetFocus(GetDlgItem(Wnd, IDOK));
      return FALSE;
    }
    case WM_COMMAND:
      if (LOWORD(WParam) == IDOK || LOWORD(WParam) == IDCANCEL) DestroyWindow(Wnd);
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(Wnd);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

HWND CreateChannelDialog() {
  return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_GALLERY_CHANNEL), nullptr,
                            ChannelDialogProc, 0);
}

}  // namespace gallery
