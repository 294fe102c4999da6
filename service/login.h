// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace awardsync {

class PageLoader;

// The extra request header of the login form post: "Content-type" with a small t, ended by CR LF.
inline constexpr std::string_view LoginFormHeaders = "Content-type: application/x-www-form-urlencoded\r\n";

// "login=" + UrlEncode(user) + "&password=" + UrlEncode(password): only the two values are encoded.
std::string loginFormBody(std::string_view user, std::string_view password);

// Judges the text of the login answer page: "Username/password incorrect" anywhere raises that
// message; otherwise a page without "Your QSOs" raises "Page download failed". Both tests are
// case-sensitive substring searches, in that order.
void checkLoginAnswer(std::string_view pageText);

class HtmlDocument;

// Whether a page that lacks `marker` is the service's sign-in form (a form with a password field):
// what the service answers in place of any page once a session has ended.
bool isSignInPage(const HtmlDocument& page, std::string_view marker);

// Posts the login form to endpoint + "/lotwuser/default", waits for the answer page and judges
// its body text. A normal return means signed in; the loader keeps the session for later pages.
void loginToService(PageLoader& ie, std::string_view endpoint, std::string_view user, std::string_view password);

} // namespace awardsync
