#pragma once

#include <QPointer>
#include <QWebEngineView>

namespace pelagon {

// The engine's view with the settings every page of the program needs: pages are UTF-8 unless
// they say otherwise, local pages may open other local files, scripts may open windows, and PDF
// documents show in the built-in viewer. Windows opened by a page's script become document
// windows owned by the owner widget: the one given, or else the view's own top-level window (the
// main frame), so that they outlive the browser window that opened them.
class EngineView : public QWebEngineView {
    Q_OBJECT
public:
    explicit EngineView(QWidget* parent = nullptr, QWidget* owner = nullptr);

    // The widget that owns the document windows opened from this view.
    QWidget* documentOwner() const;

signals:
    // A page's script opened a new document window.
    void documentWindowOpened(QWidget* window);

protected:
    QWebEngineView* createWindow(QWebEnginePage::WebWindowType type) override;

private:
    QPointer<QWidget> owner_;
};

}  // namespace pelagon
