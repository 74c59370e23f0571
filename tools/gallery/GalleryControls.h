// The gallery's form of controls: one control of every kind that the skin engine's adapters take,
// on a form with a skin provider. Where the framework has no class of a kind, a thin stand-in
// over the common control window of that kind takes its place (see GalleryControls.cpp). Win32.
#pragma once

#include "framework/Forms.h"
#include "framework/Menus.h"

class TsSkinManager;

namespace gallery {

// Lists the class names of the gallery's controls in the manager's class-name lists, each under
// the kind of adapter it takes.
void ListControlClasses(TsSkinManager* Manager);

// Starts what the gallery's windows need: the common control classes, the program's units and the
// application object. The pointer then rests in the screen's far corner, away from every window,
// so that no control shows its look under the mouse by chance.
void StartUp();

// A skin manager holding the program's own skin, the stored skin the main form carries (read from
// the program's resources), with the gallery's control classes listed and no glow. The skin is
// not loaded yet: SetSkinName(ProgramSkinName) loads it.
inline constexpr const char* ProgramSkinName = "Program skin";
TsSkinManager* CreateProgramSkinManager();

// A sizeable form holding every kind of control, with a menu line, a tool bar and a status bar.
// Its window exists; it is not shown yet.
TForm* CreateControlsForm(TComponent* Owner);

// A main menu of a few items (for forms that show a menu line).
TMainMenu* CreateMainMenu(TForm* Form);
// A popup menu with icons, a default, a checked, a radio, a disabled item, separators and a
// submenu.
TPopupMenu* CreatePopupMenu(TForm* Form);

// Fills a window's client area with a few framework controls: labels, an edit, buttons, check
// boxes (for the dialog-like and MDI child forms).
void AddSimpleControls(TWinControl* Parent, int Left, int Top);

}  // namespace gallery
