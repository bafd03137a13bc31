#pragma once
// The program's pictures, looked up by resource id (res/<id>.png, embedded).
#include <wx/icon.h>
#include <wx/image.h>

namespace skin {

enum PictureId : int {
    kAppIcon = 128,
    kMainBackground = 137,
    kAboutButton = 139,
    kCloseNormal = 140,
    kCloseHover = 141,
    kClosePressed = 142,
    kCloseMask = 143,
    kMinimiseNormal = 144,
    kMinimiseHover = 145,
    kMinimisePressed = 146,
    kMinimiseMask = 147,
    kAboutBackground = 158,
};

// A fresh copy of the picture, or an invalid image when the program has none by that id.
wxImage LoadPicture(int id);

// The application icon (picture 128).
wxIcon LoadAppIcon();

}  // namespace skin
