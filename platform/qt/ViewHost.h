#pragma once

#include <QPointer>
#include <vector>

#include "app/controls/Signal.h"

class QWidget;

namespace breezel {

class Form;
class Program;

/// Gives every form of the program its window as the form comes into being, and places dialogs
/// side by side so that none hides another or the main window.
class ViewHost {
public:
    explicit ViewHost(Program& program);
    ~ViewHost();
    ViewHost(const ViewHost&) = delete;
    ViewHost& operator=(const ViewHost&) = delete;

private:
    void createView(Form& form);
    void placeDialog(QWidget& dialog);

    Program& program_;
    ScopedConnection formCreated_;
    std::vector<QPointer<QWidget>> views_;
};

}  // namespace breezel
