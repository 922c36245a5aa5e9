// Reads an extended dialog template (DLGTEMPLATEEX) out of the program's
// resources, so tests can compare the dialog as it is stored: styles, ids,
// texts and places in dialog units, before any control has altered them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace dialog_tests {

struct TemplateItem {
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;
    std::wstring className;  // predefined classes by their names ("Button", ...)
    std::wstring text;
};

struct DialogTemplate {
    DWORD style = 0;
    short cx = 0, cy = 0;
    std::wstring caption;
    WORD pointSize = 0;
    std::wstring font;
    std::vector<TemplateItem> items;
};

// False when the resource is missing or is not an extended template.
bool ReadDialogTemplate(HINSTANCE instance, int id, DialogTemplate* out);

}  // namespace dialog_tests
