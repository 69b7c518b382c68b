#include "qt/OAuthRequests.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include "qt/Bindings.h"
#include "qt/SignInTexts.h"

namespace breezel {

namespace {

// A provider's answers are small; a larger one is not an answer.
constexpr qint64 kMaxAnswerBytes = 256 * 1024;

struct HttpAnswer {
    int status = 0;
    QByteArray body;
    // Empty when the exchange itself worked (whatever the status).
    QString transportError;
};

// Sends a GET, or a POST of form when there is one, and suspends until its answer, cut off past
// kMaxAnswerBytes.
Task<HttpAnswer> Exchange(QNetworkAccessManager& network, std::string url, std::string form) {
    // By reference: gcc 12 destroys a closure in a co_await twice, captures and all.
    co_return co_await Answer<HttpAnswer>([&network, &url, &form](auto reply) {
        QNetworkRequest request(QUrl(ToQString(url)));
        request.setRawHeader("Accept", "application/json");
        // No cookies, no cache: each exchange stands alone.
        request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
        request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                             QNetworkRequest::AlwaysNetwork);
        QNetworkReply* sent = nullptr;
        if (form.empty()) {
            sent = network.get(request);
        } else {
            request.setHeader(QNetworkRequest::ContentTypeHeader,
                              QStringLiteral("application/x-www-form-urlencoded"));
            sent = network.post(request, QByteArray::fromStdString(form));
        }
        QObject::connect(sent, &QNetworkReply::downloadProgress, sent, [sent](qint64 received) {
            if (received > kMaxAnswerBytes) {
                sent->abort();
            }
        });
        QObject::connect(sent, &QNetworkReply::finished, sent, [sent, reply] {
            sent->deleteLater();
            HttpAnswer answer;
            answer.status = sent->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            // A reply that never connected is not open: nothing to read.
            answer.body = sent->isOpen() ? sent->read(kMaxAnswerBytes) : QByteArray();
            const QNetworkReply::NetworkError error = sent->error();
            // An HTTP error status still carries the provider's JSON; only a failed exchange
            // has nothing to read.
            if (error != QNetworkReply::NoError && answer.status == 0) {
                answer.transportError = error == QNetworkReply::OperationCanceledError
                                            ? QStringLiteral("時間切れか応答が大きすぎます")
                                            : sent->errorString();
            }
            reply(std::move(answer));
        });
    });
}

// Tokens go into an INI line and a SASL string: visible ASCII only.
bool UsableToken(const QString& token) {
    if (token.isEmpty()) {
        return false;
    }
    for (const QChar c : token) {
        if (c.unicode() < 0x21 || c.unicode() > 0x7E) {
            return false;
        }
    }
    return true;
}

// One field of a form body. Everything but the unreserved characters is escaped: a '+' left
// as it is would reach the provider as a blank.
void AddField(std::string& form, const char* name, const std::string& value) {
    form += '&';
    form += name;
    form += '=';
    form += QByteArray::fromStdString(value).toPercentEncoding().toStdString();
}

std::string WithoutTrailingSlash(std::string url) {
    while (!url.empty() && url.back() == '/') {
        url.pop_back();
    }
    return url;
}

}  // namespace

bool SafeForSignIn(const std::string& url) {
    const QUrl parsed(ToQString(url), QUrl::StrictMode);
    if (!parsed.isValid() || parsed.host().isEmpty()) {
        return false;
    }
    if (parsed.scheme() == QLatin1String("https")) {
        return true;
    }
    const QHostAddress address(parsed.host());
    return parsed.scheme() == QLatin1String("http") &&
           (address.isLoopback() || parsed.host() == QLatin1String("localhost"));
}

TokenGrant ReadTokenAnswer(int httpStatus, const QByteArray& body, const QString& transportError) {
    TokenGrant grant;
    if (!transportError.isEmpty()) {
        grant.failure = ToStdString(transportError);
        return grant;
    }
    const QJsonObject json = QJsonDocument::fromJson(body).object();
    const QString error = json.value(QLatin1String("error")).toString();
    if (!error.isEmpty() || httpStatus != 200) {
        // RFC 6749 5.2: the refresh token is invalid, expired or revoked.
        grant.refused = error == QLatin1String("invalid_grant");
        if (error.isEmpty()) {
            grant.failure = "HTTP ";
            grant.failure += std::to_string(httpStatus);
            return grant;
        }
        grant.failure = ToStdString(error.left(80));
        const QString description = json.value(QLatin1String("error_description")).toString();
        if (!description.isEmpty()) {
            grant.failure += "（";
            grant.failure += ToStdString(description.left(120));
            grant.failure += "）";
        }
        return grant;
    }
    const QString access = json.value(QLatin1String("access_token")).toString();
    const QString refresh = json.value(QLatin1String("refresh_token")).toString();
    if (!UsableToken(access) || (!refresh.isEmpty() && !UsableToken(refresh))) {
        grant.failure = "応答にトークンがありません";
        return grant;
    }
    grant.accessToken = Secret(ToStdString(access));
    grant.refreshToken = Secret(ToStdString(refresh));
    // A number by the RFC, but some providers send a string.
    const QJsonValue expires = json.value(QLatin1String("expires_in"));
    grant.expiresIn = expires.isString() ? expires.toString().toLongLong()
                                         : static_cast<std::int64_t>(expires.toDouble());
    if (grant.expiresIn < 0) {
        grant.expiresIn = 0;
    }
    return grant;
}

OAuthRequests::OAuthRequests(std::chrono::milliseconds limit) {
    network_.setTransferTimeout(static_cast<int>(limit.count()));
}

Task<OAuthEndpoints> OAuthRequests::discover(std::string issuer) {
    issuer = WithoutTrailingSlash(std::move(issuer));
    std::string url = issuer;
    url += "/.well-known/openid-configuration";
    OAuthEndpoints endpoints;
    if (!SafeForSignIn(issuer)) {
        endpoints.failure = InsecureAddressText(issuer);
        co_return endpoints;
    }
    const std::string noForm;
    const HttpAnswer answer = co_await Exchange(network_, url, noForm);
    if (!answer.transportError.isEmpty() || answer.status != 200) {
        std::string detail = "HTTP ";
        detail += std::to_string(answer.status);
        endpoints.failure = DiscoveryFailedText(
            url, answer.transportError.isEmpty() ? detail : ToStdString(answer.transportError));
        co_return endpoints;
    }
    const QJsonObject json = QJsonDocument::fromJson(answer.body).object();
    // OpenID discovery: the document must name the issuer asked for, so that a document
    // served elsewhere cannot send the sign-in to another provider.
    const std::string named =
        WithoutTrailingSlash(ToStdString(json.value(QLatin1String("issuer")).toString()));
    const std::string authorization =
        ToStdString(json.value(QLatin1String("authorization_endpoint")).toString());
    const std::string token = ToStdString(json.value(QLatin1String("token_endpoint")).toString());
    if (named != issuer || authorization.empty() || token.empty()) {
        endpoints.failure = DiscoveryFailedText(url, "issuer か endpoint が合いません");
        co_return endpoints;
    }
    for (const std::string& endpoint : {authorization, token}) {
        if (!SafeForSignIn(endpoint)) {
            endpoints.failure = InsecureAddressText(endpoint);
            co_return endpoints;
        }
    }
    endpoints.authorizationUrl = authorization;
    endpoints.tokenUrl = token;
    co_return endpoints;
}

Task<TokenGrant> OAuthRequests::refresh(OAuthProvider provider, Secret refreshToken) {
    std::string form = "grant_type=refresh_token";
    AddField(form, "refresh_token", refreshToken.reveal());
    AddField(form, "client_id", provider.clientId);
    if (!provider.clientSecret.empty()) {
        AddField(form, "client_secret", provider.clientSecret);
    }
    const HttpAnswer answer = co_await Exchange(network_, provider.tokenUrl, form);
    co_return ReadTokenAnswer(answer.status, answer.body, answer.transportError);
}

}  // namespace breezel
