#pragma once

#include <memory>
#include <vector>

#include "controls/Signal.h"

class QWidget;

namespace breezel {

class Form;
class FormView;
class FormContext;

/// Gives every form of the program its window as the form comes into being, and places dialogs
/// side by side so that none hides another or the main window. It owns every view: a view goes
/// when its form does, and the views still open go with the host.
class ViewHost {
public:
    explicit ViewHost(FormContext& forms);
    ~ViewHost();
    ViewHost(const ViewHost&) = delete;
    ViewHost& operator=(const ViewHost&) = delete;

private:
    struct View {
        std::unique_ptr<FormView> widget;
        ScopedConnection formDestroying;
    };

    void createView(Form& form);
    void retire(const FormView* view);
    void placeDialog(QWidget& dialog);

    FormContext& forms_;
    ScopedConnection formCreated_;
    std::vector<View> views_;
};

}  // namespace breezel
