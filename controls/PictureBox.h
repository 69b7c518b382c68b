#pragma once

#include <string>
#include <utility>

#include "controls/CommandButton.h"

namespace breezel {

/// A picture or picture container; clickable like a button. What it shows is the view's.
class PictureBox : public CommandButton {
public:
    explicit PictureBox(Rect rect = {}) : CommandButton(rect) {}

    /// Loads a picture file; the view reads it from disk at every load, also of the same file.
    void loadPicture(std::string path) {
        picturePath_ = std::move(path);
        ++pictureLoads_;
        changed.notify();
    }
    const std::string& picturePath() const { return picturePath_; }
    int pictureLoads() const { return pictureLoads_; }

private:
    std::string picturePath_;
    int pictureLoads_ = 0;
};

}  // namespace breezel
