#include "config/PaneFields.h"

#include "app/AppUITextLimit.h"
#include "config/CfgCatalogue.h"
#include "config/CfgImage.h"

#include <QFontMetrics>
#include <QLineEdit>

#include <charconv>
#include <cstring>
#include <string>

namespace tk {

int FieldRoom(size_t offset) {
    const CfgField* field = CfgFieldAt(offset);
    return field ? static_cast<int>(field->Room()) : 0;
}

void LimitToField(QLineEdit* edit, size_t offset) {
    const CfgField* field = CfgFieldAt(offset);
    const int room = field ? static_cast<int>(field->Room()) : 0;
    if (field && field->dialNumber)
        LimitDialNumber(edit, room);
    else
        LimitCp1250(edit, room);
    // As wide as its longest text, not as the pane: a PIN field over the whole width would
    // look as if it took a sentence.
    const QFontMetrics metrics(edit->font());
    const int text = metrics.horizontalAdvance(QString(std::max(room, 4), QLatin1Char('W')));
    edit->setMaximumWidth(text + 2 * metrics.averageCharWidth() + 12);
}

QString FieldText(const char* field, size_t width) {
    return FromCp1250(field, width);
}

bool StoreFieldText(char* field, size_t width, const QString& text) {
    std::string bytes;
    if (!ToCp1250(text, bytes))
        return false;
    if (bytes.size() < width && std::string_view(field, strnlen(field, width)) == bytes)
        return true;
    CopyTextField(field, width, bytes.c_str(), bytes.size());
    return true;
}

QString FormatThreshold(float value) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    QString text = QString::fromLatin1(buf, static_cast<qsizetype>(res.ptr - buf));
    text.replace(QLatin1Char('.'), QLatin1Char(','));
    return text;
}

float ParseThreshold(const QString& text) {
    std::string s = text.trimmed().toStdString();
    for (char& c : s)
        if (c == ',')
            c = '.';
    const char* first = s.c_str();
    const char* last = first + s.size();
    if (first != last && *first == '+')
        ++first;
    float value = 0;
    const auto res = std::from_chars(first, last, value);
    // A number too large for a float is as good as no number: 0, as for text.
    if (res.ec != std::errc())
        return 0;
    return value;
}

} // namespace tk
