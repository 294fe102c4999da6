// SPDX-License-Identifier: GPL-3.0-or-later
#include "pages.h"

#include "core/text.h"

namespace mock {

using awardsync::escapeHtml;
namespace {

std::string page(const std::string& title, const std::string& body) {
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + escapeHtml(title) +
           "</title>\n<style>td { padding: 2px 6px; }</style></head>\n<body>\n"
           "<div class=\"banner\"><a href=\"/lotwuser/default\">Logbook of The World</a></div>\n" +
           body + "</body></html>\n";
}

std::string hrefFor(const Qso& qso, LinkStyle style, const std::string& origin) {
    if (!qso.href.empty()) {
        return qso.href;
    }
    switch (style) {
    case LinkStyle::Absolute:
        return origin + qso.path;
    case LinkStyle::PageRelative: {
        static const std::string kFolder = "/lotwuser/";
        return qso.path.compare(0, kFolder.size(), kFolder) == 0 ? qso.path.substr(kFolder.size()) : qso.path;
    }
    case LinkStyle::Relative:
        break;
    }
    return qso.path;
}

std::string cell(const std::string& content) {
    return "<td>" + content + "</td>";
}

} // namespace

std::string loginPage(const std::string& message) {
    std::string body = "<h2>Sign in</h2>\n";
    if (!message.empty()) {
        body += "<p class=\"error\"><b>" + escapeHtml(message) + "</b></p>\n";
    }
    body += "<form method=\"post\" action=\"/lotwuser/default\">\n"
            "<p>Username <input type=\"text\" name=\"login\"></p>\n"
            "<p>Password <input type=\"password\" name=\"password\"></p>\n"
            "<p><input type=\"submit\" value=\"Log On\"></p>\n</form>\n";
    return page("Sign in", body);
}

std::string homePage(const Login& login) {
    if (login.successPage) {
        return *login.successPage;
    }
    return page("Home", "<h2>Welcome, " + escapeHtml(login.user) +
                            "</h2>\n<ul>\n<li><a href=\"/lotwuser/qsos\">Your QSOs</a></li>\n"
                            "<li><a href=\"/lotwuser/awg\">Your Awards</a></li>\n</ul>\n");
}

std::string creditListPage(const Scenario& scenario, const std::string& account, const std::string& award,
                           const std::string& origin) {
    const Category* category = nullptr;
    if (const auto accountIt = scenario.accounts.find(account); accountIt != scenario.accounts.end()) {
        if (const auto it = accountIt->second.find(award); it != accountIt->second.end()) {
            category = &it->second;
        }
    }
    if (category != nullptr && category->html) {
        return *category->html;
    }

    std::string body = "<h2>DXCC Award Account " + escapeHtml(account) + ": " + escapeHtml(award) +
                       " credits</h2>\n<table id=\"creditsTable\" border=\"1\">\n"
                       "<tr><th>Call</th><th>DXCC Entity</th><th>Band</th><th>Mode</th><th>QSO Date</th></tr>\n";
    if (category != nullptr) {
        auto row = [&](const std::string& id, bool bold) {
            const Qso& qso = scenario.qsos.at(id);
            const std::string text = escapeHtml(qso.linkText);
            const std::string link = "<a href=\"" + escapeHtml(hrefFor(qso, scenario.links, origin)) + "\">" +
                                     (bold ? "<b>" + text + "</b>" : text) + "</a>";
            body += "<tr>" + cell(link) + cell(escapeHtml(qso.field("DXCC"))) + cell(escapeHtml(qso.field("Band"))) +
                    cell(escapeHtml(qso.field("Mode"))) + cell(escapeHtml(qso.field("Date/Time").substr(0, 10))) +
                    "</tr>\n";
        };
        for (const std::string& id : category->credited) {
            row(id, true);
        }
        for (const std::string& id : category->plainLinks) {
            row(id, false);
        }
        body += category->extraHtml;
    }
    body += "</table>\n";
    return page("DXCC Account Credits", body);
}

std::string detailPage(const Qso& qso) {
    if (qso.html) {
        return *qso.html;
    }
    std::string body = "<h2>QSO Details</h2>\n<table>\n"
                       "<tr><td colspan=\"3\"><b>Your QSO</b></td></tr>\n"
                       "<tr><td>Call Sign</td><td>:</td><td>TEST</td></tr>\n"
                       "<tr><td colspan=\"3\"><b>Worked Station</b></td></tr>\n";
    for (const DetailRow& row : qso.rows) {
        body += row.raw
                    ? row.html
                    : "<tr><td>" + escapeHtml(row.name) + "</td><td>:</td><td>" + escapeHtml(row.value) + "</td></tr>";
        body += '\n';
    }
    body += "</table>\n";
    return page("QSO Details", body);
}

std::string statusPage(int status, const std::string& title) {
    return page(title, "<h2>" + std::to_string(status) + " " + escapeHtml(title) + "</h2>\n");
}

} // namespace mock
