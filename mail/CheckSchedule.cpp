#include "mail/CheckSchedule.h"

#include <cstdint>
#include <limits>
#include <string>

#include "forms/FormContext.h"
#include "forms/MainForm.h"
#include "forms/SetForm.h"
#include "mail/MailCheck.h"
#include "settings/NumberText.h"

namespace breezel {

namespace {
constexpr double kMinuteTicks = 60;

std::string Counter(double value) {
    return std::to_string(static_cast<long long>(value));
}

std::int32_t RoundedInterval(double minutes) {
    const long long rounded = RoundHalfEven(minutes);
    if (rounded > std::numeric_limits<std::int32_t>::max()) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (rounded < std::numeric_limits<std::int32_t>::min()) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(rounded);
}
}  // namespace

CheckSchedule::CheckSchedule(FormContext& context, MailCheck& check)
    : context_(context), check_(check) {
    formCreated_ = context.formCreated.connectScoped([this](Form& form) { watch(form); });
}

void CheckSchedule::watch(Form& form) {
    if (auto* main = dynamic_cast<MainForm*>(&form)) {
        counterChanged_ = main->Text1.changed.connectScoped([this] { wakePoll(); });
    } else if (auto* preferences = dynamic_cast<SetForm*>(&form)) {
        intervalChanged_ = preferences->Text2.changed.connectScoped([this] { wakePoll(); });
        // Gone, it is made anew by the next poll, on time.
        preferencesGone_ = preferences->destroying.connectScoped([this] { wakePoll(); });
    }
}

void CheckSchedule::wakePoll() {
    // A main window being destroyed is already out of the context.
    if (context_.hasMainForm()) {
        context_.mainForm().Timer1.setResting(false);
    }
}

Task<> CheckSchedule::poll() {
    const double interval = LeadingNumber(context_.setForm().Text2.text());
    MainForm& main = context_.mainForm();
    if (interval > 0 && LeadingNumber(main.Text1.text()) == interval && !checkedThisCount_) {
        checkedThisCount_ = true;
        return check_.CheckMail();
    }
    main.Timer1.setResting(true);
    return {};
}

void CheckSchedule::restartCount() {
    if (context_.hasMainForm()) {
        context_.mainForm().Text1.setText("0");
        context_.mainForm().Text4.setText("0");
    }
    checkedThisCount_ = false;
}

void CheckSchedule::secondTick() {
    MainForm& main = context_.mainForm();
    const std::int32_t interval = RoundedInterval(LeadingNumber(context_.setForm().Text2.text()));
    const double minutes = LeadingNumber(main.Text1.text());
    // Also past the interval: after the interval was lowered below the count, counting starts
    // over instead of never meeting the interval again.
    if (minutes == interval || (interval > 0 && minutes > interval)) {
        main.Text1.setText("0");
        checkedThisCount_ = false;
        wakePoll();
    }
    const double seconds = LeadingNumber(main.Text4.text());
    if (seconds >= kMinuteTicks) {
        main.Text4.setText("0");
        main.Text1.setText(Counter(LeadingNumber(main.Text1.text()) + 1));
        checkedThisCount_ = false;
        wakePoll();
    } else {
        main.Text4.setText(Counter(seconds + 1));
    }
}

}  // namespace breezel
