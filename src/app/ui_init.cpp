#include "app/ui_init.h"

#include <wx/filesys.h>
#include <wx/fs_mem.h>
#include <wx/image.h>
#include <wx/xrc/xmlres.h>

#include "platform/toolkit.h"
#include "platform/resources.h"

namespace app {

void InitUi() {
    static bool done = false;
    if (done) return;
    done = true;

    platform::ApplyCompactControlStyle();
    platform::MendAccessibility();
    wxInitAllImageHandlers();
    wxFileSystem::AddHandler(new wxMemoryFSHandler);  // owned by wxFileSystem
    for (const platform::EmbeddedResource* r = platform::kEmbeddedResources; r->name; ++r) {
        wxMemoryFSHandler::AddFile(r->name, r->data, r->size);
    }
    wxXmlResource::Get()->InitAllHandlers();
    wxXmlResource::Get()->Load("memory:102.xrc");
    wxXmlResource::Get()->Load("memory:151.xrc");
}

}  // namespace app
