#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "controls/Geometry.h"

namespace breezel {

/// The desktop the program's windows live on, and what it offers besides windows.
class Desktop {
public:
    virtual ~Desktop() = default;
    virtual Twips screenWidth() = 0;
    virtual Twips screenHeight() = 0;
    /// The local date and time as the desktop writes them: the short date, then the long time.
    virtual std::string localDateTimeText() = 0;
    /// Shows a pop-up menu of the captions ("-" for a separator) at the pointer and returns;
    /// chosen gets the index of the item the user picks, if any, later.
    virtual void popUpMenu(const std::vector<std::string>& captions,
                           std::function<void(int index)> chosen) = 0;
    /// Lets the user choose one existing file, starting at fileName (modal for the user; the
    /// call returns at once). chosen gets its full path, or nothing when cancelled.
    virtual void chooseFile(const std::string& fileName,
                            std::function<void(std::optional<std::string> path)> chosen) = 0;
    /// Opens a document or web address in the user's default program.
    virtual void openUrl(const std::string& url) = 0;
};

}  // namespace breezel
