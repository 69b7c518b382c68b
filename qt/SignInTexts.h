#pragma once

// What the user reads about an OAuth2 sign-in: our own texts, in Japanese, one line each, in the
// wording of the mail checks' failures. Words from outside (a provider's error, a host, a path)
// are cleaned of control characters first. No token, code or verifier ever goes into one.

#include <filesystem>
#include <string>
#include <string_view>

namespace breezel {

/// The page the browser shows after the provider sent it back to Breezel.
std::string SignInDonePageText();

/// No token, and the browser may not open now.
std::string SignInNeededText();

/// The provider no longer takes the kept sign-in (revoked or expired there).
std::string SignInRevokedText();

/// The browser's sign-in did not end within its time.
std::string SignInTimedOutText();

/// The provider sent the browser back with an error (the user said no, for one).
std::string SignInDeniedText(std::string_view error, std::string_view description);

/// The desktop could not open the provider's page: the sign-in window says so and waits on.
std::string BrowserFailedText();

/// The user cancelled the sign-in in its window.
std::string SignInCancelledText();

/// The sign-in window's caption.
std::string SignInWindowTitle();

/// What the sign-in window says while the browser is open for account at host.
std::string SignInWaitingText(std::string_view account, std::string_view host);

/// Above the address to open by hand.
std::string SignInAddressText();

/// The sign-in window's cancel button.
std::string SignInCancelCaption();

/// The tokens' file was readable by others (mode); tightened: it is now the owner's alone.
std::string TokenFileWidenedText(const std::filesystem::path& file, unsigned mode, bool tightened);

/// No port on 127.0.0.1 to hear the provider's answer on.
std::string ListenFailedText(std::string_view detail);

/// The provider's token endpoint gave no token for the code.
std::string TokenRequestFailedText(std::string_view detail);

/// Renewing with the kept refresh token failed, not by the provider's refusal.
std::string RenewFailedText(std::string_view detail);

/// Neither the built-in table nor the file names a provider for the mail server's host.
std::string NoProviderText(std::string_view host, const std::filesystem::path& file);

/// No client ID for the provider: which file, section and key to set.
std::string NoClientIdText(const std::filesystem::path& file, std::string_view section,
                           bool withSecret);

/// The provider's OpenID configuration could not be had or used.
std::string DiscoveryFailedText(std::string_view url, std::string_view detail);

/// An issuer or endpoint that is neither https nor on this machine.
std::string InsecureAddressText(std::string_view url);

}  // namespace breezel
