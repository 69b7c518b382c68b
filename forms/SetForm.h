#pragma once

#include "controls/CheckBox.h"
#include "controls/CommandButton.h"
#include "controls/Form.h"
#include "controls/Label.h"
#include "controls/TextBox.h"

namespace breezel {

class FormContext;

/// The preferences dialog "設定". Its three controls are the live store of the interval, the
/// hang-up choice and the notice board's auto-close for the whole program: it exists hidden
/// most of the run, and other forms read these controls directly.
class SetForm : public Form {
public:
    explicit SetForm(FormContext& context);

    /// Load step: reads NUMBER, NUMBER2 and NUMBER4 into the controls.
    void Form_Load();
    /// Closing step: writes NUMBER, NUMBER2 (as typed) and NUMBER4.
    void Form_Unload();
    /// Runs whenever the interval text changes: switches the main window's status and the
    /// one-second count, and stores an interval of 0 at once.
    void ApplyInterval();
    /// Shows the account dialog.
    void Command1_Click();
    /// Shows the server settings dialog.
    void Command2_Click();

    CommandButton Command1{{}, "ID/PASS"};
    CommandButton Command2{{}, "POPサーバー"};
    CheckBox Check1;
    Label Label1{{}, "新着チェック後接続を切断する。"};
    Label Label5{{}, "インターバルメールチェック"};
    Label Label3{{},
                 "０以上の数字を入力すると、その間隔で自動的にメールチェックを行います。"
                 "チェックの都度手動で行う場合は０にしておいて下さい。（単位は分です。）"};
    TextBox Text2;
    Label Label2{{}, "分"};
    CheckBox Check2{{}, "新着お知らせボードを１秒で自動消去させる"};

private:
    FormContext& context_;
};

}  // namespace breezel
