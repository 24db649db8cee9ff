// Where the window manager owns the window menu, the About item lives in the context menu.
#include <QAction>
#include <QWidget>

#include "system_menu.hpp"

namespace tavik::ui {

void installAboutItem(QWidget& window, const std::function<void()>& openAbout) {
    auto* separator = new QAction(&window);
    separator->setSeparator(true);
    auto* about = new QAction(QString::fromUtf8(kAboutItemText), &window);
    about->setObjectName(QStringLiteral("aboutAction"));
    QObject::connect(about, &QAction::triggered, &window, [openAbout] { openAbout(); });
    window.addAction(separator);
    window.addAction(about);
    window.setContextMenuPolicy(Qt::ActionsContextMenu);
}

bool isAboutCommand(const QByteArray&, void*) {
    return false;
}

}  // namespace tavik::ui
