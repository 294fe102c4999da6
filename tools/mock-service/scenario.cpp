// SPDX-License-Identifier: GPL-3.0-or-later
#include "scenario.h"

#include "scenario_generator.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <cmath>
#include <cstdint>
#include <set>
#include <stdexcept>

namespace mock {

std::string Qso::field(const std::string& name) const {
    for (const DetailRow& row : rows) {
        if (!row.raw && row.name == name) {
            return row.value;
        }
    }
    return {};
}

bool Fault::matches(const std::string& requestMethod, const std::string& target) const {
    if (!method.empty() && method != requestMethod) {
        return false;
    }
    return prefix ? target.compare(0, path.size(), path) == 0 : target == path;
}

bool Fault::take() {
    if (count < 0) {
        return true;
    }
    return used.fetch_add(1) < count;
}

namespace {

[[noreturn]] void bad(const std::string& where, const std::string& what) {
    throw std::runtime_error("scenario: " + where + ": " + what);
}

std::string text(const QJsonValue& value, const std::string& where) {
    if (value.isString()) {
        return value.toString().toStdString();
    }
    if (value.isDouble()) {
        return std::to_string(static_cast<long long>(value.toDouble()));
    }
    bad(where, "expected a text or a number");
}

void allowOnly(const QJsonObject& object, const std::set<QString>& keys, const std::string& where) {
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!keys.contains(it.key())) {
            bad(where, "unknown key \"" + it.key().toStdString() + "\"");
        }
    }
}

QJsonObject objectAt(const QJsonValue& value, const std::string& where) {
    if (!value.isObject()) {
        bad(where, "expected an object");
    }
    return value.toObject();
}

QJsonArray arrayAt(const QJsonValue& value, const std::string& where) {
    if (!value.isArray()) {
        bad(where, "expected an array");
    }
    return value.toArray();
}

std::vector<std::string> idList(const QJsonValue& value, const std::string& where) {
    std::vector<std::string> ids;
    for (const QJsonValue& id : arrayAt(value, where)) {
        ids.push_back(text(id, where));
    }
    return ids;
}

GeneratedAccount readGenerate(const QJsonObject& settings) {
    const std::string where = "generate";
    allowOnly(settings, {"account", "count", "seed", "first_id", "paper_share", "sat_share"}, where);
    GeneratedAccount account;
    account.account = text(settings.value("account").isUndefined() ? QJsonValue(1) : settings.value("account"), where);
    account.count = settings.value("count").toInt(0);
    if (account.count < 0) {
        bad(where, "count must not be negative");
    }
    account.seed = static_cast<std::uint64_t>(settings.value("seed").toDouble(1));
    account.firstId = static_cast<long long>(settings.value("first_id").toDouble(1));
    account.paperShare = settings.value("paper_share").toDouble(0.15);
    account.satShare = settings.value("sat_share").toDouble(0.03);
    return account;
}

void readQso(const std::string& id, const QJsonObject& object, const std::string& detailPath, Scenario& scenario) {
    const std::string where = "qsos." + id;
    allowOnly(object, {"call", "datetime", "mode", "dxcc", "band", "qsl", "rows", "html", "path", "href", "link_text"},
              where);
    Qso qso;
    qso.id = id;
    qso.path = object.contains("path") ? text(object.value("path"), where) : replacePlaceholder(detailPath, id);
    if (qso.path.empty() || qso.path.front() != '/') {
        bad(where, "path must start with /");
    }
    qso.href = object.contains("href") ? text(object.value("href"), where) : "";
    static const std::pair<const char*, const char*> kShorthand[] = {{"call", "Worked"}, {"datetime", "Date/Time"},
                                                                     {"mode", "Mode"},   {"dxcc", "DXCC"},
                                                                     {"band", "Band"},   {"qsl", "QSL"}};
    for (const auto& [key, name] : kShorthand) {
        if (object.contains(key)) {
            qso.rows.push_back({false, name, text(object.value(key), where + "." + key), {}});
        }
    }
    if (object.contains("rows")) {
        for (const QJsonValue& row : arrayAt(object.value("rows"), where + ".rows")) {
            if (row.isString()) {
                qso.rows.push_back({true, {}, {}, row.toString().toStdString()});
                continue;
            }
            const QJsonArray pair = arrayAt(row, where + ".rows");
            if (pair.size() != 2) {
                bad(where + ".rows", "a field row is [name, value]");
            }
            qso.rows.push_back({false, text(pair[0], where), text(pair[1], where), {}});
        }
    }
    if (object.contains("html")) {
        qso.html = text(object.value("html"), where + ".html");
    }
    qso.linkText = object.contains("link_text") ? text(object.value("link_text"), where) : qso.field("Worked");
    if (qso.linkText.empty()) {
        qso.linkText = "QSO " + id;
    }
    scenario.qsos[id] = std::move(qso);
}

Category readCategory(const QJsonValue& value, const std::string& where) {
    Category category;
    if (value.isArray()) {
        category.credited = idList(value, where);
        return category;
    }
    const QJsonObject object = objectAt(value, where);
    allowOnly(object, {"qsos", "plain_links", "extra_html", "html"}, where);
    if (object.contains("qsos")) {
        category.credited = idList(object.value("qsos"), where + ".qsos");
    }
    if (object.contains("plain_links")) {
        category.plainLinks = idList(object.value("plain_links"), where + ".plain_links");
    }
    category.extraHtml = object.value("extra_html").toString().toStdString();
    if (object.contains("html")) {
        category.html = text(object.value("html"), where + ".html");
    }
    return category;
}

FaultKind faultKind(const std::string& name, const std::string& where) {
    static const std::map<std::string, FaultKind> kKinds = {
        {"delay", FaultKind::Delay},         {"close_mid_body", FaultKind::CloseMidBody},
        {"status", FaultKind::Status},       {"stall", FaultKind::Stall},
        {"non_html", FaultKind::NonHtml},    {"content", FaultKind::Content},
        {"oversized", FaultKind::Oversized}, {"redirect_loop", FaultKind::RedirectLoop},
        {"redirect", FaultKind::Redirect}};
    const auto it = kKinds.find(name);
    if (it == kKinds.end()) {
        bad(where, "unknown fault kind \"" + name + "\"");
    }
    return it->second;
}

void readFault(const QJsonObject& object, const std::string& where, Scenario& scenario) {
    allowOnly(object,
              {"path", "prefix", "method", "kind", "delay_ms", "ms", "status", "content_type", "body", "body_base64",
               "bytes", "chunked", "count", "location", "retry_after"},
              where);
    Fault& fault = scenario.faults.emplace_back();
    fault.path = text(object.value("path"), where + ".path");
    fault.prefix = object.value("prefix").toBool(false);
    fault.method = object.value("method").toString().toStdString();
    fault.kind = faultKind(object.value("kind").toString().toStdString(), where);
    fault.delayMs = static_cast<long>(object.value("delay_ms").toDouble(0));
    const long ms = static_cast<long>(object.value("ms").toDouble(fault.kind == FaultKind::Stall ? 120000 : 0));
    if (fault.kind == FaultKind::Delay) {
        fault.delayMs += ms;
    } else {
        fault.stallMs = ms;
    }
    fault.status = object.value("status").toInt(500);
    fault.contentType = object.value("content_type")
                            .toString(fault.kind == FaultKind::Content ? "text/html" : "text/plain")
                            .toStdString();
    if (object.contains("body")) {
        fault.body = text(object.value("body"), where + ".body");
    }
    if (object.contains("body_base64")) {
        // For bodies that are not UTF-8, such as a page in a single-byte charset.
        fault.body = QByteArray::fromBase64(object.value("body_base64").toString().toLatin1()).toStdString();
    }
    fault.bytes = static_cast<long long>(object.value("bytes").toDouble(40.0 * 1024 * 1024));
    fault.chunked = object.value("chunked").toBool(false);
    fault.location = object.value("location").toString().toStdString();
    if (fault.kind == FaultKind::Redirect) {
        fault.status = object.value("status").toInt(302);
        if (fault.location.empty()) {
            bad(where, "a redirect needs a location");
        }
    }
    if (object.contains("retry_after")) {
        if (fault.kind != FaultKind::Status) {
            bad(where, "retry_after is for status faults only");
        }
        if (!object.value("retry_after").isString()) {
            bad(where + ".retry_after", "expected a text (sent as it stands)");
        }
        fault.retryAfter = object.value("retry_after").toString().toStdString();
    }
    fault.count = static_cast<long>(object.value("count").toDouble(-1));
}

} // namespace

void loadScenario(const QByteArray& json, Scenario& scenario) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (document.isNull()) {
        bad("JSON", error.errorString().toStdString() + " at offset " + std::to_string(error.offset));
    }
    const QJsonObject root = objectAt(document.object(), "top level");
    allowOnly(root, {"login", "links", "detail_path", "generate", "qsos", "accounts", "faults"}, "top level");

    if (root.contains("login")) {
        const QJsonObject login = objectAt(root.value("login"), "login");
        allowOnly(login,
                  {"user", "password", "redirect", "redirect_status", "success_page", "failure_page", "preset_sessions",
                   "cookie_name", "session_pages"},
                  "login");
        Login& l = scenario.login;
        l.user = login.contains("user") ? text(login.value("user"), "login.user") : l.user;
        l.password = login.contains("password") ? text(login.value("password"), "login.password") : l.password;
        l.redirect = login.value("redirect").toBool(true);
        l.redirectStatus = login.value("redirect_status").toInt(303);
        if (login.contains("success_page")) {
            l.successPage = text(login.value("success_page"), "login.success_page");
        }
        if (login.contains("failure_page")) {
            l.failurePage = text(login.value("failure_page"), "login.failure_page");
        }
        if (login.contains("preset_sessions")) {
            l.presetSessions = idList(login.value("preset_sessions"), "login.preset_sessions");
        }
        l.cookieName = login.value("cookie_name").toString(QString::fromStdString(l.cookieName)).toStdString();
        if (login.contains("session_pages")) {
            const double pages = login.value("session_pages").toDouble(0);
            if (pages < 1 || pages > 1e9 || std::floor(pages) != pages) {
                bad("login.session_pages", "expected a whole number of at least 1");
            }
            l.sessionPages = static_cast<long>(pages);
        }
    }

    const std::string links = root.value("links").toString("relative").toStdString();
    if (links == "relative") {
        scenario.links = LinkStyle::Relative;
    } else if (links == "absolute") {
        scenario.links = LinkStyle::Absolute;
    } else if (links == "page-relative") {
        scenario.links = LinkStyle::PageRelative;
    } else {
        bad("links", "expected \"relative\", \"absolute\" or \"page-relative\"");
    }
    const std::string detailPath = root.value("detail_path").toString("/lotwuser/qsodetail?qso=%s").toStdString();

    if (root.contains("generate")) {
        const QJsonValue value = root.value("generate");
        if (value.isArray()) {
            for (const QJsonValue& settings : value.toArray()) {
                generateAccount(readGenerate(objectAt(settings, "generate")), detailPath, scenario);
            }
        } else {
            generateAccount(readGenerate(objectAt(value, "generate")), detailPath, scenario);
        }
    }

    if (root.contains("qsos")) {
        const QJsonObject qsos = objectAt(root.value("qsos"), "qsos");
        for (auto it = qsos.begin(); it != qsos.end(); ++it) {
            const std::string id = it.key().toStdString();
            readQso(id, objectAt(it.value(), "qsos." + id), detailPath, scenario);
        }
    }

    if (root.contains("accounts")) {
        const QJsonObject accounts = objectAt(root.value("accounts"), "accounts");
        for (auto account = accounts.begin(); account != accounts.end(); ++account) {
            const std::string number = account.key().toStdString();
            const QJsonObject categories = objectAt(account.value(), "accounts." + number);
            for (auto category = categories.begin(); category != categories.end(); ++category) {
                const std::string award = category.key().toStdString();
                scenario.accounts[number][award] = readCategory(category.value(), "accounts." + number + "." + award);
            }
        }
    }

    if (root.contains("faults")) {
        int index = 0;
        for (const QJsonValue& fault : arrayAt(root.value("faults"), "faults")) {
            readFault(objectAt(fault, "faults"), "faults[" + std::to_string(index++) + "]", scenario);
        }
    }

    for (const auto& [id, qso] : scenario.qsos) {
        const auto [it, inserted] = scenario.qsoIdByPath.emplace(qso.path, id);
        if (!inserted) {
            bad("qsos." + id, "path " + qso.path + " is already used by QSO " + it->second);
        }
    }
    for (const auto& [number, categories] : scenario.accounts) {
        for (const auto& [award, category] : categories) {
            for (const auto* ids : {&category.credited, &category.plainLinks}) {
                for (const std::string& id : *ids) {
                    if (!scenario.qsos.contains(id)) {
                        bad("accounts." + number + "." + award, "no QSO with id " + id);
                    }
                }
            }
        }
    }
}

} // namespace mock
