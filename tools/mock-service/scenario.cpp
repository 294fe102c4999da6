#include "scenario.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
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

std::string replacePlaceholder(std::string pattern, const std::string& id) {
    const std::size_t at = pattern.find("%s");
    if (at != std::string::npos) {
        pattern.replace(at, 2, id);
    }
    return pattern;
}

// splitmix64: the same sequence on every machine, so generated scenarios are reproducible.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int below(int bound) { return static_cast<int>(next() % static_cast<std::uint64_t>(bound)); }
    bool chance(double share) { return static_cast<double>(next() >> 11) * 0x1.0p-53 < share; }

private:
    std::uint64_t state_;
};

struct Entity {
    int number;
    const char* name;
    const char* prefix;
};

const Entity kEntities[] = {
    {1, "CANADA", "VE"},
    {6, "ALASKA", "KL7"},
    {15, "ASIATIC RUSSIA", "UA9"},
    {27, "BELARUS", "EU"},
    {50, "MEXICO", "XE"},
    {54, "EUROPEAN RUSSIA", "UA"},
    {70, "CUBA", "CO"},
    {100, "ARGENTINA", "LU"},
    {108, "BRAZIL", "PY"},
    {110, "HAWAII", "KH6"},
    {112, "CHILE", "CE"},
    {137, "REPUBLIC OF KOREA", "HL"},
    {150, "AUSTRALIA", "VK"},
    {170, "NEW ZEALAND", "ZL"},
    {202, "PUERTO RICO", "KP4"},
    {206, "AUSTRIA", "OE"},
    {209, "BELGIUM", "ON"},
    {212, "BULGARIA", "LZ"},
    {221, "DENMARK", "OZ"},
    {223, "ENGLAND", "G"},
    {224, "FINLAND", "OH"},
    {227, "FRANCE", "F"},
    {230, "FEDERAL REPUBLIC OF GERMANY", "DL"},
    {236, "GREECE", "SV"},
    {239, "HUNGARY", "HA"},
    {245, "IRELAND", "EI"},
    {248, "ITALY", "I"},
    {263, "NETHERLANDS", "PA"},
    {266, "NORWAY", "LA"},
    {269, "POLAND", "SP"},
    {272, "PORTUGAL", "CT"},
    {275, "ROMANIA", "YO"},
    {279, "SCOTLAND", "GM"},
    {281, "SPAIN", "EA"},
    {284, "SWEDEN", "SM"},
    {287, "SWITZERLAND", "HB"},
    {288, "UKRAINE", "UR"},
    {291, "UNITED STATES OF AMERICA", "K"},
    {294, "WALES", "GW"},
    {318, "CHINA", "BY"},
    {324, "INDIA", "VU"},
    {327, "INDONESIA", "YB"},
    {336, "ISRAEL", "4X"},
    {339, "JAPAN", "JA"},
    {375, "PHILIPPINES", "DU"},
    {381, "SINGAPORE", "9V"},
    {386, "TAIWAN", "BV"},
    {390, "TURKEY", "TA"},
    {462, "REPUBLIC OF SOUTH AFRICA", "ZS"},
    {503, "CZECH REPUBLIC", "OK"},
};

struct Band {
    const char* name;
    const char* award;
    bool challenge;
};

const Band kBands[] = {{"160M", "DXCC-160", true}, {"80M", "DXCC-80", true}, {"40M", "DXCC-40", true},
                       {"30M", "DXCC-30", true},   {"20M", "DXCC-20", true}, {"17M", "DXCC-17", true},
                       {"15M", "DXCC-15", true},   {"12M", "DXCC-12", true}, {"10M", "DXCC-10", true},
                       {"6M", "DXCC-6", true},     {"2M", "DXCC-2", false}};

struct Mode {
    const char* text;
    const char* award;
};

const Mode kModes[] = {{"CW (CW)", "DXCC-CW"},
                       {"PHONE (SSB)", "DXCC-PH"},
                       {"PHONE (FM)", "DXCC-PH"},
                       {"DATA (FT8)", "DXCC-RTTY"},
                       {"DATA (RTTY)", "DXCC-RTTY"}};

std::string twoDigits(int value) {
    return std::string(1, static_cast<char>('0' + value / 10)) + static_cast<char>('0' + value % 10);
}

// Credited QSOs spread over the categories the way a real account looks: every QSO counts for
// its band and its mode, the first one of each entity for the mixed award, the first one of each
// entity and band for the challenge, and a few satellite QSOs for the satellite award.
void generate(const QJsonObject& settings, const std::string& detailPath, Scenario& scenario) {
    const std::string where = "generate";
    allowOnly(settings, {"account", "count", "seed", "first_id", "paper_share", "sat_share"}, where);
    const std::string account =
        text(settings.value("account").isUndefined() ? QJsonValue(1) : settings.value("account"), where);
    const int count = settings.value("count").toInt(0);
    if (count < 0) {
        bad(where, "count must not be negative");
    }
    Random random(static_cast<std::uint64_t>(settings.value("seed").toDouble(1)));
    const long long firstId = static_cast<long long>(settings.value("first_id").toDouble(1));
    const double paperShare = settings.value("paper_share").toDouble(0.15);
    const double satShare = settings.value("sat_share").toDouble(0.03);

    auto& categories = scenario.accounts[account];
    std::set<int> entitiesSeen;
    std::set<std::pair<int, std::string>> entityBandsSeen;
    constexpr int kEntityCount = sizeof kEntities / sizeof kEntities[0];
    constexpr int kBandCount = sizeof kBands / sizeof kBands[0];
    constexpr int kModeCount = sizeof kModes / sizeof kModes[0];
    for (int i = 0; i < count; ++i) {
        const std::string id = std::to_string(firstId + i);
        const Entity& entity = kEntities[random.below(kEntityCount)];
        const bool satellite = random.chance(satShare);
        const Band& band = satellite ? kBands[kBandCount - 1] : kBands[random.below(kBandCount)];
        const Mode& mode = kModes[random.below(kModeCount)];

        std::string call = std::string(entity.prefix);
        if (call.back() < '0' || call.back() > '9') {
            call += static_cast<char>('0' + random.below(10));
        }
        const int suffixLength = 2 + random.below(2);
        for (int k = 0; k < suffixLength; ++k) {
            call += static_cast<char>('A' + random.below(26));
        }
        const std::string date = std::to_string(2005 + random.below(19)) + "-" + twoDigits(1 + random.below(12)) + "-" +
                                 twoDigits(1 + random.below(28)) + " " + twoDigits(random.below(24)) + ":" +
                                 twoDigits(random.below(60)) + ":" + twoDigits(random.below(60));

        Qso qso;
        qso.id = id;
        qso.path = replacePlaceholder(detailPath, id);
        qso.linkText = call;
        qso.rows = {{false, "Worked", call, {}},
                    {false, "Date/Time", date, {}},
                    {false, "Mode", mode.text, {}},
                    {false, "DXCC", std::string(entity.name) + " (" + std::to_string(entity.number) + ")", {}},
                    {false, "Band", band.name, {}}};
        if (satellite) {
            qso.rows.push_back({false, "Propagation Mode", "SAT", {}});
        }
        qso.rows.push_back({false, "QSL", random.chance(paperShare) ? "" : "Yes", {}});
        scenario.qsos[id] = std::move(qso);

        categories[band.award].credited.push_back(id);
        categories[mode.award].credited.push_back(id);
        if (entitiesSeen.insert(entity.number).second) {
            categories["DXCC-M"].credited.push_back(id);
        }
        if (band.challenge && entityBandsSeen.insert({entity.number, band.name}).second) {
            categories["DXCC-CHAL"].credited.push_back(id);
        }
        if (satellite) {
            categories["DXCC-SAT"].credited.push_back(id);
        }
    }
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
               "bytes", "chunked", "count", "location"},
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
                   "cookie_name"},
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
                generate(objectAt(settings, "generate"), detailPath, scenario);
            }
        } else {
            generate(objectAt(value, "generate"), detailPath, scenario);
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
