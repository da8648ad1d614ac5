// The areas seen only in the enlarged layout: the eight line stores the program works with,
// the last packet, the host boxes and renumbering. They exist in the normal layout too, hidden,
// so that switching layouts never rebuilds the window.
#include "ui/main_window.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "platform/qt/qt_text.h"
#include "ui/text_tail.h"
#include "ui/widgets.h"

namespace ui {

using platform::qt::ui;
using shell::Control;

void MainWindow::buildEnlargedAreas() {
    auto& s = m_app.state();
    devlist::LineStore* stores[] = {&s.groupStore, &s.listStore,      &s.deviceLogStore,
                                    &s.sendStore,  &s.searchRegStore, &s.searchReplyStore,
                                    &s.viewStore,  &s.workStore};
    QFont numberFont = font();
    numberFont.setPixelSize(21);
    numberFont.setBold(true);
    for (int i = 0; i < 8; ++i) {
        int y = 96 * i;
        QString number = QString::number(i + 1);
        QLabel* l = makeLabel(this, number, QRect(1048, y, 22, 26), "storeNumber");
        l->setFont(numberFont);
        auto* area = makeTextArea(this, QRect(1072, y, 300, 90));
        area->setAccessibleName(number);
        area->setLineWrapMode(QPlainTextEdit::NoWrap);
        StoreArea& bound = bindArea(m_storeAreas[static_cast<size_t>(i)], area, stores[i]);
        bound.tailBytes = kStoreAreaTailBytes;
        bound.tailLines = kStoreAreaTailLines;
        m_enlargedOnly.push_back(l);
        m_enlargedOnly.push_back(area);
    }
    m_deviceLogMirror = std::make_unique<TerminalMirror>(m_storeAreas[2].edit, false,
                                                         kStoreAreaTailBytes, kStoreAreaTailLines);

    QLineEdit* lastPacket = makeBox(this, QStringLiteral("LastPacket"), QRect(0, 680, 465, 21));
    bindBox(lastPacket, &s.lastPacket);
    m_enlargedOnly.push_back(lastPacket);

    auto* lowered = new QFrame(this);
    lowered->setGeometry(0, 704, 377, 49);
    lowered->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_enlargedOnly.push_back(lowered);
    bindBox(makeBox(lowered, QStringLiteral("Model Ver"), QRect(0, 2, 169, 21)), &s.modelVerBox);
    bindBox(makeBox(lowered, QStringLiteral("PC IP Address"), QRect(176, 2, 121, 21)), &s.pcIpBox);
    bindBox(makeBox(lowered, QStringLiteral("UDP Host"), QRect(304, 2, 57, 21)), &s.udpHostBox);
    // The LAN search writes its own address and the address it searches into these captions;
    // their accessible names stay as they are.
    m_labels.push_back(
        {makeLabel(lowered, QStringLiteral("PC IP Address"), QRect(176, 27, 121, 18), "plain"),
         &s.pcIpCaption});
    m_labels.push_back(
        {makeLabel(lowered, QStringLiteral("UDP Host"), QRect(304, 27, 70, 18), "plain"),
         &s.udpHostCaption});

    QPushButton* renumber = makeButton(this, ui("No 再設定"), QRect(440, 736, 137, 22));
    connectButton(renumber, [this] { m_app.listEditor().renumber(); });
    m_enlargedOnly.push_back(renumber);
}

}  // namespace ui
