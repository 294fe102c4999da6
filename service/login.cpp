// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/login.h"

#include "core/error.h"
#include "core/text.h"
#include "service/html_document.h"
#include "service/page_loader.h"
#include "service/url_encode.h"

#include <algorithm>

namespace awardsync {

std::string loginFormBody(std::string_view user, std::string_view password) {
    return "login=" + UrlEncode(user) + "&password=" + UrlEncode(password);
}

void checkLoginAnswer(std::string_view pageText) {
    if (pageText.find("Username/password incorrect") != std::string_view::npos) {
        throw Error("Username/password incorrect");
    }
    if (pageText.find("Your QSOs") == std::string_view::npos) {
        throw Error("Page download failed");
    }
}

bool isSignInPage(const HtmlDocument& page, std::string_view marker) {
    const HtmlElement body = page.body();
    // The cheap test first: most pages have no password field, and then no markup is written out.
    const std::vector<HtmlElement> inputs = body.getElementsByTagName("INPUT");
    const bool passwordField = std::any_of(inputs.begin(), inputs.end(), [](const HtmlElement& input) {
        return equalsIgnoreAsciiCase(input.attribute("type"), "password");
    });
    return passwordField && body.innerHTML().find(marker) == std::string::npos;
}

void loginToService(PageLoader& ie, std::string_view endpoint, std::string_view user, std::string_view password) {
    ie.Navigate(std::string(endpoint) + "/lotwuser/default", loginFormBody(user, password),
                std::string(LoginFormHeaders));
    ie.WaitForPage();
    checkLoginAnswer(ie.Document().body().innerText());
}

} // namespace awardsync
