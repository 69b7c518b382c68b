#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/controls/Geometry.h"

namespace breezel {

/// The desktop the program's windows live on, and what it offers besides windows.
class Desktop {
public:
    virtual ~Desktop() = default;
    virtual Twips screenWidth() = 0;
    virtual Twips screenHeight() = 0;
    /// The local date and time as the desktop writes them: the short date, then the long time.
    virtual std::string localDateTimeText() = 0;
    /// Shows a pop-up menu of the captions ("-" for a separator) at the pointer and calls
    /// chosen with the index of the item the user picks, if any.
    virtual void popUpMenu(const std::vector<std::string>& captions,
                           std::function<void(int index)> chosen) = 0;
    /// Lets the user choose one existing file (modal). True with its full path in fileName;
    /// false when cancelled, leaving fileName as it was.
    virtual bool chooseFile(std::string& fileName) = 0;
    /// Opens a document or web address in the user's default program.
    virtual void openUrl(const std::string& url) = 0;
};

}  // namespace breezel
