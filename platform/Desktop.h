#pragma once

#include "app/controls/Geometry.h"

namespace breezel {

/// The screen the program's windows live on.
class Desktop {
public:
    virtual ~Desktop() = default;
    virtual Twips screenWidth() = 0;
    virtual Twips screenHeight() = 0;
};

}  // namespace breezel
