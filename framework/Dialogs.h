// Message boxes of the framework. Win32.
#pragma once

#include <windows.h>

#include "framework/Types.h"

// The framework's plain message box: the text, the application's title as caption and an OK
// button; returns when the user closes it. It goes through Application->MessageBoxProc.
void ShowMessage(const WideString& Text);
void ShowMessage(const AnsiString& Text);
inline void ShowMessage(const wchar_t* Text) { ShowMessage(WideString(Text != nullptr ? Text : L"")); }
inline void ShowMessage(const char* Text) { ShowMessage(AnsiString(Text != nullptr ? Text : "")); }

// The most characters of a text a message box shows (the rest is cut, marked by "...").
inline constexpr std::size_t MaxMessageBoxTextLength = 2000;

// The system's message box (MessageBoxW) made to fit the work area of its monitor whatever the
// text: the text is cut after MaxMessageBoxTextLength characters, a word too wide for half the
// work area is broken over lines, and a box that is still larger than the work area is made
// smaller, its text cut where the box ends (marked by "...") and its buttons moved into view.
// The application's default message box routine shows its boxes with it.
int ShowSystemMessageBox(HWND Owner, const WideString& Text, const WideString& Caption, UINT Flags);
