#pragma once

#include "qt/FormView.h"

namespace breezel {

class IdPassForm;
class OptionForm;
class SetForm;

/// The preferences dialog "設定".
class SetFormView : public FormView {
public:
    SetFormView(SetForm& form, std::function<void()> onClose);
};

/// The account dialog "ID,PASS".
class IdPassFormView : public FormView {
public:
    IdPassFormView(IdPassForm& form, std::function<void()> onClose);
};

/// The server settings dialog "サーバー設定".
class OptionFormView : public FormView {
public:
    OptionFormView(OptionForm& form, std::function<void()> onClose);
};

}  // namespace breezel
