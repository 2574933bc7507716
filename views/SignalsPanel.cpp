#include "views/SignalsPanel.h"

#include "candb/SignalText.h"
#include "resources/StringTable.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QString text(std::uint32_t id) {
    return QString::fromStdString(strings::loadString(id));
}

QString hexIdentifier(std::uint32_t identifier) {
    return QStringLiteral("0x") + QString::number(identifier, 16).toUpper();
}

}  // namespace

SignalsPanel::SignalsPanel(ProgramState& state, QWidget* parent)
    : QWidget(parent),
      m_state(state),
      m_messages(new QComboBox(this)),
      m_caption(new QLabel(this)),
      m_lines(new QTreeWidget(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    auto* follow = new QHBoxLayout;
    follow->addWidget(new QLabel(text(strings::kSignalsFollow), this));
    follow->addWidget(m_messages, 1);
    layout->addLayout(follow);
    layout->addWidget(m_caption);
    layout->addWidget(m_lines, 1);
    m_messages->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_caption->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_lines->setColumnCount(kColumns);
    m_lines->setHeaderLabels(
        {text(strings::kSignalHeaderName), text(strings::kSignalHeaderValue),
         text(strings::kSignalHeaderRaw), text(strings::kSignalHeaderDescription),
         text(strings::kSignalHeaderMinimum), text(strings::kSignalHeaderMaximum)});
    m_lines->setRootIsDecorated(false);
    m_lines->setUniformRowHeights(true);
    m_lines->setAlternatingRowColors(true);
    m_lines->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(m_messages, &QComboBox::activated, this, [this](int item) {
        m_userChose = true;
        chooseMessage(m_messages->itemData(item).toInt());
    });
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (isVisible()) refresh();
    });
    m_timer.start(kRefreshMs);
    databasesChanged();
}

void SignalsPanel::databasesChanged() {
    const int chosen = m_messages->currentIndex() >= 0 ? m_messages->currentData().toInt() : -1;
    std::optional<std::pair<std::uint32_t, bool>> identifier;
    if (m_decoder && chosen >= 0) {
        const CanMessage& m = m_decoder->message(static_cast<std::size_t>(chosen));
        identifier = {m.identifier, m.extended};
    }
    m_decoder = m_state.databases.decoder();
    m_decoded = m_decoder->makeFrame();
    m_messages->clear();
    int keep = -1;
    for (std::size_t i = 0; i < m_decoder->messageCount(); ++i) {
        const CanMessage& m = m_decoder->message(i);
        m_messages->addItem(QStringLiteral("%1 (%2)").arg(QString::fromStdString(m.name),
                                                          hexIdentifier(m.identifier)),
                            static_cast<int>(i));
        if (identifier && identifier->first == m.identifier && identifier->second == m.extended) {
            keep = static_cast<int>(i);
        }
    }
    if (keep < 0) m_userChose = false;  // the message chosen is gone
    if (keep < 0 && m_decoder->messageCount() > 0) keep = 0;
    chooseMessage(keep);
}

void SignalsPanel::chooseMessage(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= m_decoder->messageCount()) {
        m_newest.clear();
    } else {
        const CanMessage& m = m_decoder->message(static_cast<std::size_t>(index));
        m_newest.choose(m.identifier, m.extended);
        m_messages->setCurrentIndex(m_messages->findData(index));
    }
    refresh();
}

void SignalsPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refresh();
}

void SignalsPanel::refresh() {
    if (m_state.databases.decoder() != m_decoder) {
        databasesChanged();  // which comes back here
        return;
    }
    if (m_state.databases.empty()) {
        showNothing(text(strings::kSignalsNoDatabase));
        return;
    }
    std::optional<std::uint32_t> position = m_selected ? m_selected() : std::nullopt;
    if (!position) {
        position = m_newest.update(m_state.store);
        if (!position && !m_userChose) {
            chooseAMessageOnTheBus();
            position = m_newest.update(m_state.store);
        }
    }
    if (m_state.flags.test(ApplicationFlags::kClearing) || !position ||
        *position >= m_state.store.count()) {
        showNothing(m_messages->currentIndex() < 0
                        ? QString()
                        : text(strings::kSignalsNoFrameYet).arg(m_messages->currentText()));
        return;
    }
    show(m_state.store.at(*position), *position);
}

void SignalsPanel::chooseAMessageOnTheBus() {
    // The newest frames are looked at, a few at a time: the first that a database names wins.
    constexpr std::uint32_t kLookedAt = 256;
    const std::uint32_t count = m_state.store.count();
    for (std::uint32_t k = 0; k < std::min(count, kLookedAt); ++k) {
        const CapturedFrame& f = m_state.store.at(count - 1 - k);
        const int message = m_decoder->find(f.identifier, f.format == 1);
        if (message >= 0 && f.status == 0) {
            const CanMessage& m = m_decoder->message(static_cast<std::size_t>(message));
            m_newest.choose(m.identifier, m.extended);
            m_messages->setCurrentIndex(m_messages->findData(message));
            return;
        }
    }
}

void SignalsPanel::show(const CapturedFrame& frame, std::uint32_t position) {
    m_shown = position;
    if (!m_decoder->decode(frame, m_decoded)) {
        showNothing(text(strings::kSignalsNotInDatabase).arg(hexIdentifier(frame.identifier)));
        m_shown = position;
        return;
    }
    m_caption->setText(
        text(strings::kSignalsOfFrame)
            .arg(QString::fromStdString(m_decoded.message()->name), hexIdentifier(frame.identifier))
            .arg(position));
    const std::vector<SignalLine> lines = signalLines(m_decoded);
    // Lines are rewritten in place, so a panel that follows a capture does not flicker.
    while (m_lines->topLevelItemCount() > static_cast<int>(lines.size())) {
        delete m_lines->takeTopLevelItem(m_lines->topLevelItemCount() - 1);
    }
    while (m_lines->topLevelItemCount() < static_cast<int>(lines.size())) {
        new QTreeWidgetItem(m_lines);
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const SignalLine& l = lines[i];
        QTreeWidgetItem* item = m_lines->topLevelItem(static_cast<int>(i));
        const std::string* texts[kColumns] = {&l.name,  &l.value,   &l.raw,
                                              &l.label, &l.minimum, &l.maximum};
        for (int c = 0; c < kColumns; ++c) {
            const QString cell = QString::fromStdString(*texts[c]);
            if (item->text(c) != cell) item->setText(c, cell);
            const QString tip = QString::fromStdString(l.comment);
            if (item->toolTip(c) != tip) item->setToolTip(c, tip);
        }
        item->setTextAlignment(kRaw, Qt::AlignRight | Qt::AlignVCenter);
    }
}

void SignalsPanel::showNothing(const QString& caption) {
    m_shown.reset();
    m_caption->setText(caption);
    m_lines->clear();
}
