#pragma once

#include <string>
#include <utility>
#include <vector>

#include "controls/FormWindow.h"
#include "controls/Timer.h"

namespace breezel {

/// A window of the program with its named controls and reactions. Subclasses hold the controls
/// as public members named as in the window design, so other forms can read and write them.
class Form {
public:
    Form(std::string name, std::string caption, Twips clientWidth, Twips clientHeight)
        : window(std::move(caption), clientWidth, clientHeight), name_(std::move(name)) {}
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;
    virtual ~Form() { destroying.notify(); }

    const std::string& name() const { return name_; }

    /// The form's timers, for the platform's timer driver.
    virtual std::vector<Timer*> timers() { return {}; }

    FormWindow window;
    /// The form is about to be destroyed; views let go of it.
    Signal<> destroying;

private:
    std::string name_;
};

}  // namespace breezel
