#pragma once

// The small window shown while a sign-in waits for the browser: for which account the browser
// is open, the address to open by hand (plain text, to select and copy), and a cancel button.
// Where the desktop could not open the browser, it says so and goes on waiting for the user.

#include <QDialog>
#include <QUrl>
#include <string>

class QLabel;

namespace breezel {

class SignInWindow : public QDialog {
    Q_OBJECT

public:
    SignInWindow(const std::string& account, const std::string& host, const QUrl& address);

    /// The browser could not be opened.
    void showOpenerFailed();

Q_SIGNALS:
    /// The user cancelled: the button, Escape or the close box.
    void cancelled();

private:
    QLabel* failure_;
};

}  // namespace breezel
