#include "skin/pictures.h"

#include <wx/bitmap.h>
#include <wx/mstream.h>

#include "platform/resources.h"

namespace skin {

wxImage LoadPicture(int id) {
    const auto bytes = platform::FindResource(std::to_string(id) + ".png");
    if (bytes.empty()) return {};
    wxMemoryInputStream stream(bytes.data(), bytes.size());
    wxImage image;
    if (!image.LoadFile(stream, wxBITMAP_TYPE_PNG)) return {};
    return image;
}

wxIcon LoadAppIcon() {
    const wxImage image = LoadPicture(kAppIcon);
    wxIcon icon;
    if (image.IsOk()) icon.CopyFromBitmap(wxBitmap(image));
    return icon;
}

}  // namespace skin
