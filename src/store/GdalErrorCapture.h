#pragma once

#include <QString>
#include <QStringList>

namespace pelagon {

// While alive, collects the messages GDAL reports on this thread instead of letting them go to
// standard error, so that open failures can be told to the user in the layer's own message.
class GdalErrorCapture {
public:
    GdalErrorCapture();
    ~GdalErrorCapture();
    GdalErrorCapture(const GdalErrorCapture&) = delete;
    GdalErrorCapture& operator=(const GdalErrorCapture&) = delete;

    bool hasFailure() const { return !failures_.isEmpty(); }
    // The failures first, then the warnings, joined by "; ".
    QString text() const;
    const QStringList& failures() const { return failures_; }
    void clear();

private:
    static void handle(int severity, const char* message, void* self);
    friend struct GdalErrorTrampoline;

    QStringList failures_;
    QStringList warnings_;
};

}  // namespace pelagon
