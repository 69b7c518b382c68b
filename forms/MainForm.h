#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/Task.h"
#include "controls/CheckBox.h"
#include "controls/CommandButton.h"
#include "controls/Form.h"
#include "controls/Label.h"
#include "controls/PictureBox.h"
#include "controls/TextBox.h"
#include "controls/Timer.h"
#include "controls/WebBrowser.h"

namespace breezel {

class FormContext;

/// The main window: the fan, the interval status, the alert options, the scrolling label that
/// names the mail program, and the status lamp. Controls placed outside the client area hold
/// run-time state or serve as entry points for the menus; they have no widget.
class MainForm : public Form {
public:
    explicit MainForm(FormContext& context);

    std::vector<Timer*> timers() override;

    /// Start-up: runs once when the process starts.
    void Form_Load();
    /// Shutdown: stops the sound, saves the window's three options and ends the process.
    void Form_Unload();
    /// Refresh of the scrolling mail program label, every 20 ms.
    void Timer4_Timer();
    /// Opens the preferences dialog.
    void Command9_Click();
    /// Sends the window to the notification area ("タスク").
    void Command1_Click();
    /// Lets the user choose the mail program.
    Task<> Command7_Click();
    /// An event of the notification-area icon: 1 shows its menu, 0 a box "Clicked!".
    void TrayControl1_Event(int code);
    /// An item of the notification-area menu: 0 shows the window, 2 ends the program.
    void mnu_Popup_Click(int index);
    /// Another start of the program asks this one to come forward: the window is shown,
    /// from the notification area too, in the stacking it has.
    void BringForward();
    /// Always on top.
    void mzenmen_Click();
    /// Normal stacking.
    void mkaijyo_Click();
    /// The offer to open Breezel's user guide.
    Task<> Picture10_Click();
    /// A double click on "分": the preferences, where the interval is set.
    void Label2_DblClick();

    /// The menu bar's one menu, top to bottom; nullptr stands for a separator line.
    std::vector<CommandButton*> fileMenu();
    /// The notification-area menu's captions; the index of a chosen item goes to
    /// mnu_Popup_Click.
    static std::vector<std::string> popupMenu();

    // Visible controls, in twips inside the client area (Picture5's children inside Picture5).
    PictureBox Picture2{{0, 0, 1575, 1455}};
    WebBrowser WebBrowser1{{-200, -250, 3615, 3255}};
    Label Label4{{1635, 120, 495, 255}};
    CheckBox Check3{{2160, 120, 255, 180}};
    TextBox Text5{{2400, 80, 495, 270}};
    Label Label2{{3000, 120, 375, 255}, "分"};
    Label Label3{{1680, 440, 1320, 375}, "新着有りで設定メーラーを起動"};
    CheckBox Check2{{2940, 540, 255, 255}, "Check2"};
    CommandButton Command2{{1680, 840, 855, 300}, "確認♪"};
    CommandButton Command3{{2520, 840, 615, 300}, "戻す"};
    CheckBox Check4{{1680, 1160, 1935, 255}, "風鈴を鳴らさない"};
    PictureBox Picture5{{0, 1480, 3495, 300}};
    PictureBox Image1{{0, 0, 240, 240}};
    Label Label1{{3240, 0, 2415, 255}, "インターバルチェック"};

    // Off-screen entry points and state holders.
    CommandButton Command1{{6480, 360, 615, 420}, "タスク"};
    CommandButton Command5{{4320, 120, 1215, 375}, "切断"};
    CommandButton Command7{{6240, 1320, 360, 1860}, "メ｜ラ｜設定"};
    CommandButton Command8{{6720, 1320, 375, 1860}, "メ｜ルチェック"};
    CommandButton Command9{{480, 3960, 615, 400}, "設定"};
    CommandButton Command10{{1080, 3960, 735, 400}, "HP"};
    CommandButton Command11{{5160, 2040, 1335, 255}, "フラッシュ開始"};
    PictureBox Picture7{{120, 6000, 315, 315}};
    PictureBox Picture10{{840, 6000, 315, 315}};
    PictureBox Picture1{{480, 6000, 315, 315}};
    // Its caption hint is left out: outside the client area, no pointer ever moves over it.
    PictureBox Picture8{{1200, 6000, 315, 315}};
    CheckBox Check1{{3120, 6000, 1995, 510}, "ループ", 1};
    TextBox Text1{{5160, 2760, 0, 0}, "Text1"};
    TextBox Text4{{5160, 3000, 0, 0}, "Text4"};
    /// The mail program's path, or kNoMailProgram when the preferences name none.
    TextBox Text7{{5160, 1200, 0, 0}};
    static constexpr std::string_view kNoMailProgram = "未設定";
    TextBox Text8{{5160, 1560, 0, 0}};
    TextBox Text2{{1680, 6000, 0, 0}, "Text2"};

    // The menu "ファイル(&F)".
    std::string mfile = "ファイル(&F)";
    CommandButton mcheck{{}, "メールチェック（手動）"};
    CommandButton mset{{}, "起動メーラーの設定"};
    CommandButton mtask{{}, "タスクトレイに常駐"};
    CommandButton mset2{{}, "設定"};
    /// Opens the list of every mailbox, the first and the further ones.
    CommandButton mmailbox{{}, "メールボックスの一覧"};
    CommandButton mzenmen{{}, "常に前面表示"};
    CommandButton mkaijyo{{}, "前面表示解除"};
    CommandButton mhp{{}, "作者のホームページ"};
    /// The open-file dialog's file name; it persists between selections within a run.
    std::string CommonDialog1_FileName;

    /// Asks the alert to stop and close its sound (start-up, shutdown, the mute box).
    Signal<> silenceAlert;
    /// Raised by the closing step just before the process ends: connections still open end.
    Signal<> closing;

    Timer Timer1{100};
    Timer Timer2{100};
    Timer Timer3{0};
    Timer Timer4{20};
    Timer Timer5{1000};

private:
    FormContext& context_;
};

}  // namespace breezel
