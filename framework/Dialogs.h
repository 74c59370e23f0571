// Message boxes of the framework. Win32.
#pragma once

#include "framework/Types.h"

// The framework's plain message box: the text, the application's title as caption and an OK
// button; returns when the user closes it. It goes through Application->MessageBoxProc.
void ShowMessage(const WideString& Text);
void ShowMessage(const AnsiString& Text);
inline void ShowMessage(const wchar_t* Text) { ShowMessage(WideString(Text != nullptr ? Text : L"")); }
inline void ShowMessage(const char* Text) { ShowMessage(AnsiString(Text != nullptr ? Text : "")); }
