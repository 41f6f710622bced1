#pragma once
// The --json output: one object per line on stdout.
#include "table/pager_table.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace px316t::cli {

// One line of JSON whose keys keep the order they were added in (QJsonObject
// sorts them): a script reads the catalogue's order, numbers as numbers.
class JsonLine {
public:
    JsonLine& text(const std::string& key, const std::string& value)
    {
        return raw(key, quoted(value));
    }
    JsonLine& number(const std::string& key, long long value) { return raw(key, std::to_string(value)); }
    JsonLine& boolean(const std::string& key, bool value) { return raw(key, value ? "true" : "false"); }
    // A key given again replaces its value in place: an object never holds a key twice.
    JsonLine& raw(const std::string& key, const std::string& json)
    {
        for (auto& field : fields_)
            if (field.first == key) {
                field.second = json;
                return *this;
            }
        fields_.emplace_back(key, json);
        return *this;
    }
    std::string str() const
    {
        std::string body;
        for (const auto& [key, json] : fields_)
            body += (body.empty() ? "" : ",") + quoted(key) + ":" + json;
        return "{" + body + "}";
    }
    // Printed whole on stdout, one object per line, even from several boards' threads.
    void print() const;
    static std::string quoted(const std::string& value);

private:
    std::vector<std::pair<std::string, std::string>> fields_;
};

// The JSON object of one pager: port, first capcode, result, and for a failed
// verify where the pager first differs.
JsonLine pagerJson(const std::string& port, const PagerTable& image, const std::string& result,
                   std::optional<int> difference = std::nullopt);

} // namespace px316t::cli
