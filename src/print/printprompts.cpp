#include "print/printprompts.h"

#include "frame/prompts.h"
#include "print/printoptionsdialog.h"

#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QTimer>
#include <QWindow>
#include <QtGlobal>

namespace tess {

PrintPrompts& PrintPrompts::instance() {
    static PrintPrompts prompts;
    return prompts;
}

void PrintPrompts::clear() {
    m_printOptions.clear();
    m_printDialogs.clear();
    m_previews.clear();
}

std::optional<PrintChoice> PrintPrompts::printOptions(QWidget* parent, const PrintChoice& initial) {
    if (!m_printOptions.empty()) {
        const std::optional<PrintChoice> choice = m_printOptions.front();
        m_printOptions.pop_front();
        return choice;
    }
    if (Prompts::instance().scripted())
        qFatal("Unexpected print options dialog (no answer queued)");
    PrintOptionsDialog dialog(initial, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.choice();
}

bool PrintPrompts::printDialog(QWidget* parent, QPrinter& printer) {
    if (!m_printDialogs.empty()) {
        const std::function<bool(QPrinter&)> answer = std::move(m_printDialogs.front());
        m_printDialogs.pop_front();
        return answer(printer);
    }
    if (Prompts::instance().scripted())
        qFatal("Unexpected print dialog (no answer queued)");
    QPrintDialog dialog(&printer, parent);
    dialog.setObjectName(QStringLiteral("PrintDialog"));
    dialog.setWindowTitle(QStringLiteral("打印"));
    return dialog.exec() == QDialog::Accepted;
}

void PrintPrompts::printPreview(QPrintPreviewDialog& dialog) {
    if (!m_previews.empty()) {
        std::function<void(QPrintPreviewDialog&)> look = std::move(m_previews.front());
        m_previews.pop_front();
        // The preview paints its pages while it is being shown, and may let
        // timers run meanwhile: look waits until it is up on the screen.
        auto* poll = new QTimer(&dialog);
        poll->setInterval(10);
        QObject::connect(poll, &QTimer::timeout, &dialog, [poll, &dialog, look = std::move(look)] {
            const QWindow* window = dialog.windowHandle();
            if (!dialog.isVisible() || !window || !window->isExposed())
                return;
            poll->stop();
            look(dialog);
            if (dialog.isVisible())
                dialog.reject();
        });
        poll->start();
    } else if (Prompts::instance().scripted()) {
        qFatal("Unexpected print preview (nothing queued to close it)");
    }
    dialog.exec();
}

} // namespace tess
