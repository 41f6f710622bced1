#include "cli/json_line.h"

#include "cli/table_io.h"
#include "editor/pager_document.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QString>

#include <cstdio>
#include <mutex>

namespace px316t::cli {

void JsonLine::print() const
{
    static std::mutex lock;
    const std::lock_guard<std::mutex> held(lock);
    std::printf("%s\n", str().c_str());
    std::fflush(stdout);
}

std::string JsonLine::quoted(const std::string& value)
{
    const QByteArray array = QJsonDocument(QJsonArray{QString::fromStdString(value)}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2).toStdString();
}

JsonLine pagerJson(const std::string& port, const PagerTable& image, const std::string& result,
                   std::optional<int> difference)
{
    JsonLine line;
    line.text("port", port);
    if (const auto capcode = PagerDocument(image).firstCapcode())
        line.number("capcode", static_cast<long long>(*capcode));
    else
        line.raw("capcode", "null");
    line.text("result", result);
    if (difference) {
        line.number("address", *difference);
        line.text("field", fieldsAt(*difference));
    }
    return line;
}

} // namespace px316t::cli
