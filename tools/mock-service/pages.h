// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "scenario.h"

#include <string>
#include <string_view>

namespace mock {


// The sign-in form; `message` (escaped) is shown above it when not empty.
std::string loginPage(const std::string& message);
// The page a signed-in user lands on; it holds "Your QSOs".
std::string homePage(const Login& login);
// The credit list of one account and award category; `origin` is "https://host:port" for
// absolute links.
std::string creditListPage(const Scenario& scenario, const std::string& account, const std::string& award,
                           const std::string& origin);
std::string detailPage(const Qso& qso);
std::string statusPage(int status, const std::string& title);

} // namespace mock
