// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/login.h"

#include "core/error.h"
#include "service/page_loader.h"
#include "service/url_encode.h"

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

void loginToService(PageLoader& ie, std::string_view endpoint, std::string_view user, std::string_view password) {
    ie.Navigate(std::string(endpoint) + "/lotwuser/default", loginFormBody(user, password),
                std::string(LoginFormHeaders));
    ie.WaitForPage();
    checkLoginAnswer(ie.Document().body().innerText());
}

} // namespace awardsync
