#include "config/CfgJson.h"

#include "base/Json.h"

namespace {

void Problem(std::vector<CfgProblem>& problems, const CfgField* field, std::string key, int error,
             std::string detail) {
    problems.push_back({field, std::move(key), error, std::move(detail)});
}

std::string Where(const tk::json::Value& v) {
    return " (řádek " + std::to_string(v.line) + ", sloupec " + std::to_string(v.column) + ")";
}

} // namespace

std::string CfgExportJson(const CfgImage& image) {
    std::string out = "{\n  \"format\": ";
    out += tk::json::Quote(CFG_JSON_FORMAT);
    out += ",\n  \"version\": " + std::to_string(CFG_JSON_VERSION) + ",\n  \"settings\": {";
    std::string tails;
    bool first = true;
    for (const CfgField& f : CfgCatalogue()) {
        out += first ? "\n    " : ",\n    ";
        first = false;
        out += tk::json::Quote(f.key) + ": " + CfgValueJson(f, image);
        const std::string tail = CfgTextTail(f, image);
        if (!tail.empty())
            tails += (tails.empty() ? "\n    " : ",\n    ") + tk::json::Quote(f.key) + ": \"" +
                     tail + "\"";
    }
    out += "\n  }";
    if (!tails.empty())
        out += ",\n  \"text_tails\": {" + tails + "\n  }";
    out += "\n}\n";
    return out;
}

int CfgImportJson(std::string_view json, CfgImage& image, bool force,
                  std::vector<CfgProblem>& problems) {
    problems.clear();
    tk::json::Value doc;
    tk::json::ParseError error;
    if (!tk::json::Parse(json, doc, &error)) {
        Problem(problems, nullptr, {}, CFG_E_SYNTAX,
                error.message + " (řádek " + std::to_string(error.line) + ", sloupec " +
                    std::to_string(error.column) + ")");
        return CFG_E_SYNTAX;
    }
    if (doc.type != tk::json::Type::Object) {
        Problem(problems, nullptr, {}, CFG_E_FORMAT, "čeká se objekt { ... }");
        return CFG_E_FORMAT;
    }
    CfgImage result = image;
    const tk::json::Value* settings = nullptr;
    const tk::json::Value* tails = nullptr;
    for (const auto& [name, value] : doc.members) {
        if (name == "format") {
            if (value.type != tk::json::Type::String || value.text != CFG_JSON_FORMAT)
                Problem(problems, nullptr, name, CFG_E_FORMAT,
                        std::string("čeká se \"") + CFG_JSON_FORMAT + "\"" + Where(value));
        } else if (name == "version") {
            if (value.type != tk::json::Type::Number ||
                value.text != std::to_string(CFG_JSON_VERSION))
                Problem(problems, nullptr, name, CFG_E_FORMAT,
                        "tato verze programu čte verzi " + std::to_string(CFG_JSON_VERSION) +
                            Where(value));
        } else if (name == "settings" || name == "text_tails") {
            if (value.type != tk::json::Type::Object)
                Problem(problems, nullptr, name, CFG_E_FORMAT, "čeká se objekt" + Where(value));
            else
                (name == "settings" ? settings : tails) = &value;
        } else {
            Problem(problems, nullptr, name, CFG_E_UNKNOWN_KEY,
                    "na nejvyšší úrovni smí být jen format, version, settings a text_tails" +
                        Where(value));
        }
    }
    if (!settings && problems.empty())
        Problem(problems, nullptr, "settings", CFG_E_FORMAT, "chybí objekt \"settings\"");
    if (settings) {
        for (const auto& [key, value] : settings->members) {
            const CfgField* f = CfgFindField(key);
            std::string detail;
            if (!f)
                Problem(problems, nullptr, key, CFG_E_UNKNOWN_KEY,
                        "takové nastavení není" + Where(value));
            else if (const int e = CfgSetFromJson(*f, value, result, force, &detail); e != CFG_OK)
                Problem(problems, f, key, e, detail + Where(value));
        }
    }
    if (tails) {
        for (const auto& [key, value] : tails->members) {
            const CfgField* f = CfgFindField(key);
            std::string detail;
            if (!f || f->kind != CfgKind::Text)
                Problem(problems, f, key, CFG_E_UNKNOWN_KEY,
                        "takové textové nastavení není" + Where(value));
            else if (value.type != tk::json::Type::String)
                Problem(problems, f, key, CFG_E_TYPE,
                        "čeká se text se šestnáctkovými bajty" + Where(value));
            else if (const int e = CfgSetTextTail(*f, value.text, result, &detail); e != CFG_OK)
                Problem(problems, f, key, e, detail + Where(value));
        }
    }
    if (!problems.empty())
        return problems.front().error;
    image = result;
    return CFG_OK;
}
