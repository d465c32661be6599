#pragma once

#include <QMap>
#include <QString>

namespace utilities {

// The result fields of the utilities screen, addressed by control name:
// "Text1(0)", "Text1(1)", "Text4", "Label3", "Label4", "Label1(12)" ...
// "Label1(17)". The screen sets its widgets, the command line and the tests
// keep the values.
class Fields {
public:
    virtual ~Fields() = default;
    virtual void setField(const QString &control, const QString &text) = 0;
};

class FieldMap final : public Fields {
public:
    void setField(const QString &control, const QString &text) override { values.insert(control, text); }
    QString value(const QString &control) const { return values.value(control); }
    QMap<QString, QString> values;
};

} // namespace utilities
