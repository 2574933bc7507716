#include "views/OverviewView.h"

#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "views/BusLoadChart.h"
#include "views/CellTextPainter.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <string_view>

namespace {

QString text(std::uint32_t id) {
    return QString::fromStdString(strings::loadString(id));
}

std::uint64_t steadyUs() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

// Widths that fit each column's usual text in the default font, in average characters.
int columnCharacters(OverviewField field) {
    switch (field) {
        case OverviewField::kIdentifier:
            return 11;
        case OverviewField::kType:
        case OverviewField::kCount:
            return 10;
        case OverviewField::kLength:
            return 7;
        case OverviewField::kTime:
            return 17;
        case OverviewField::kReadingName:
            return 30;
        case OverviewField::kMessageName:
            return 24;
        default:
            return 17;
    }
}

// Digits and letters differ in width in most fonts: every byte gets the widest's room.
int hexByteWidth(const QFontMetrics& metrics) {
    int digit = 0;
    for (const char c : std::string_view("0123456789ABCDEF")) {
        digit = std::max(digit, metrics.horizontalAdvance(QLatin1Char(c)));
    }
    return 2 * digit;
}

int byteGap(const QFontMetrics& metrics) {
    return std::max(metrics.horizontalAdvance(QLatin1Char(' ')), 4);
}

// Every cell of the table. The table repaints several times a second while capturing, so the
// common cells skip the style's item machinery and draw their texts through CellTextPainter; the
// current cell (with its focus frame) and a text that does not fit (elided) go the usual way. The
// data column shows each byte on its own, a changed one on a background that fades.
class OverviewDelegate final : public QStyledItemDelegate {
public:
    OverviewDelegate(const OverviewModel& model, QObject* parent)
        : QStyledItemDelegate(parent), m_model(model) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const OverviewRow* row = m_model.rowAt(index.row());
        if (row == nullptr || (option.state & QStyle::State_HasFocus) != 0) {
            standardPaint(painter, option, index);
            return;
        }
        const QPalette::ColorGroup group =
            (option.state & QStyle::State_Enabled) == 0  ? QPalette::Disabled
            : (option.state & QStyle::State_Active) == 0 ? QPalette::Inactive
                                                         : QPalette::Normal;
        const bool selected = (option.state & QStyle::State_Selected) != 0;
        if (selected) {
            painter->fillRect(option.rect, option.palette.brush(group, QPalette::Highlight));
        }
        QColor pen = selected ? option.palette.color(group, QPalette::HighlightedText)
                              : option.palette.color(group, QPalette::Text);
        if (!selected && row->quiet(m_model.now())) pen = OverviewModel::quietColour();
        const QWidget* widget = option.widget;
        QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        const QRect area = option.rect.adjusted(margin, 0, -margin, 0);
        const QString text = index.data(Qt::DisplayRole).toString();
        std::uint8_t strengths[8];
        if (m_model.field(index.column()) == OverviewField::kData &&
            m_model.changeStrengths(index.row(), strengths)) {
            paintBytes(*painter, option, area, text, strengths, pen, selected);
            return;
        }
        painter->setPen(pen);
        const auto alignment =
            Qt::Alignment(index.data(Qt::TextAlignmentRole).toInt()) & Qt::AlignHorizontal_Mask;
        if (!m_text.draw(*painter, option.font, area, alignment, text)) {
            standardPaint(painter, option, index);
        }
    }

private:
    // The style's own way, for the focus frame and an elided text; the data column's bytes are
    // drawn over the style's background.
    void standardPaint(QPainter* painter, const QStyleOptionViewItem& option,
                       const QModelIndex& index) const {
        std::uint8_t strengths[8];
        if (m_model.field(index.column()) != OverviewField::kData ||
            !m_model.changeStrengths(index.row(), strengths)) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem item(option);
        initStyleOption(&item, index);
        const QString bytes = item.text;
        item.text.clear();
        const QWidget* widget = option.widget;
        QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);
        const bool selected = (option.state & QStyle::State_Selected) != 0;
        QColor pen = selected ? option.palette.color(QPalette::HighlightedText)
                              : option.palette.color(QPalette::Text);
        if (index.data(OverviewModel::kQuietRole).toBool() && !selected) {
            pen = OverviewModel::quietColour();
        }
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        paintBytes(*painter, item, option.rect.adjusted(margin, 0, -margin, 0), bytes, strengths,
                   pen, selected);
    }

    void paintBytes(QPainter& painter, const QStyleOptionViewItem& option, const QRect& area,
                    const QString& bytes, const std::uint8_t strengths[8], const QColor& pen,
                    bool selected) const {
        const QFontMetrics metrics(option.font);
        const int byteWidth = hexByteWidth(metrics);
        const int step = byteWidth + byteGap(metrics);
        painter.save();
        painter.setClipRect(option.rect);
        painter.setFont(option.font);
        for (int i = 0; i < 8 && i * 3 + 1 < bytes.size(); ++i) {
            const QRect cell(area.left() + i * step - 1, area.top() + 1, byteWidth + 2,
                             area.height() - 2);
            const int strength = strengths[i];
            if (strength > 0) {
                painter.fillRect(cell, QColor(255, 170, 0, strength * 3 / 4 + 20));
            }
            painter.setPen(strength > 0 && !selected ? QColor(Qt::black) : pen);
            const QString byte = bytes.mid(qsizetype{i} * 3, 2);
            if (!m_text.draw(painter, option.font, cell, Qt::AlignHCenter, byte)) {
                painter.drawText(cell, Qt::AlignCenter, byte);
            }
        }
        painter.restore();
    }

    const OverviewModel& m_model;
    mutable CellTextPainter m_text;
};

}  // namespace

OverviewView::OverviewView(const OverviewSources& sources, std::function<Settings()> settings,
                           QWidget* parent)
    : QWidget(parent),
      m_sources(sources),
      m_settings(std::move(settings)),
      m_model(sources, this),
      m_onlyFiltered(new QCheckBox(text(strings::kOverviewOnlyFiltered), this)),
      m_summary(new QLabel(this)),
      m_splitter(new QSplitter(Qt::Vertical, this)),
      m_table(new QTableView(m_splitter)),
      m_chart(new BusLoadChart(m_busLoad, m_splitter)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* top = new QHBoxLayout;
    top->addWidget(m_onlyFiltered);
    top->addStretch(1);
    top->addWidget(m_summary);
    layout->addLayout(top);
    layout->addWidget(m_splitter, 1);

    m_table->setModel(&m_model);
    m_table->setItemDelegate(new OverviewDelegate(m_model, m_table));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 4);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
    m_table->setSortingEnabled(true);
    m_splitter->addWidget(m_table);
    applyColumnWidths();
    m_splitter->addWidget(m_chart);
    m_splitter->setStretchFactor(0, 3);
    m_splitter->setStretchFactor(1, 1);

    connect(m_onlyFiltered, &QCheckBox::toggled, this, [this](bool on) {
        m_model.setOnlyFiltered(on);
        onTimer();
    });
    connect(m_table, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const int row = m_table->rowAt(at.y());
        if (row < 0) return;
        if (!m_table->selectionModel()->isRowSelected(row, {})) m_table->selectRow(row);
        QMenu* menu = rowMenu(row);
        menu->exec(m_table->viewport()->mapToGlobal(at));
        delete menu;
    });
    connect(&m_timer, &QTimer::timeout, this, &OverviewView::onTimer);
    m_timer.start(kRefreshMs);
    onTimer();
}

OverviewView::~OverviewView() {
    m_timer.stop();
}

void OverviewView::onTimer() {
    const Settings settings = m_settings ? m_settings() : Settings{};
    const bool readingChanged = settings.reading != m_model.reading();
    const bool namesChanged = namesMessages(settings.decoder.get()) != m_model.namesMessages();
    m_model.setReading(settings.reading);
    m_model.setHex(settings.hex);
    m_model.setDecoder(settings.decoder);
    if (readingChanged || namesChanged) {
        m_table->horizontalHeader()->setSortIndicator(m_model.sortColumn(), m_model.sortOrder());
        applyColumnWidths();
    }
    const std::uint64_t now = m_now.at(m_model.overview().latestTime(), steadyUs(), settings.live);
    const std::size_t before = m_model.overview().consumed();
    const bool rowsDone = m_model.refresh(now, kFramesPerStep);
    showSummary(rowsDone);

    // A rate no CAN bus runs at (a damaged document's) gives no load.
    const unsigned baud = settings.baudKbps <= 1000 ? settings.baudKbps : 0;
    m_busLoad.setBaudRate(baud);
    const std::uint64_t loadVersion = m_busLoad.version();
    bool loadDone = true;
    if (!m_sources.flags.test(ApplicationFlags::kClearing)) {
        loadDone = m_busLoad.update(m_sources.store, settings.framesLost, kFramesPerStep);
    }
    if (m_busLoad.version() != loadVersion || m_chartBaud != baud) {
        m_chartBaud = baud;
        m_chart->refresh(baud != 0);
    }
    // A large document is taken step by step between the window's other work.
    const bool moreRows = !rowsDone && m_model.overview().consumed() - before >= kFramesPerStep;
    if (moreRows || !loadDone) QTimer::singleShot(0, this, &OverviewView::onTimer);
}

void OverviewView::applyColumnWidths() {
    const int average = m_table->fontMetrics().averageCharWidth();
    const QFontMetrics metrics = m_table->fontMetrics();
    const QFontMetrics headers = m_table->horizontalHeader()->fontMetrics();
    for (int c = 0; c < m_model.columnCount(); ++c) {
        const OverviewField field = m_model.field(c);
        const int cells = field == OverviewField::kData
                              ? 8 * (hexByteWidth(metrics) + byteGap(metrics)) + 12
                              : columnCharacters(field) * average + 8;
        // A translated header may be wider than the cells; the sort arrow needs room too.
        const QString header = m_model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        m_table->setColumnWidth(c, std::max(cells, headers.horizontalAdvance(header) + 24));
    }
}

void OverviewView::showSummary(bool done) {
    const BusOverview& overview = m_model.overview();
    QString summary = text(strings::kOverviewSummary)
                          .arg(overview.size())
                          .arg(static_cast<qulonglong>(overview.framesTaken()));
    if (!done) {
        const std::size_t total = m_model.onlyFiltered() ? m_sources.filter.displayIndexList.size()
                                                         : m_sources.store.count();
        const int percent = total == 0 ? 100 : static_cast<int>(overview.consumed() * 100 / total);
        summary += QStringLiteral("  ") + text(strings::kOverviewReading).arg(percent);
    }
    m_summary->setText(summary);
}

QMenu* OverviewView::rowMenu(int row) {
    auto* menu = new QMenu(this);
    const OverviewRow* shown = m_model.rowAt(row);
    const std::uint32_t identifier = shown != nullptr ? shown->identifier : 0;
    const bool extended = shown != nullptr && shown->extended;
    // The row is looked up again when the action runs: the table may have been sorted since.
    const auto act = [this, identifier, extended](const RowAction& action) {
        const int at = m_model.tableRow(identifier, extended);
        if (const OverviewRow* r = m_model.rowAt(at); r != nullptr && action) action(*r);
    };
    QAction* filter = menu->addAction(text(strings::kOverviewFilterOn));
    filter->setEnabled(shown != nullptr && static_cast<bool>(m_filter));
    connect(filter, &QAction::triggered, this, [this, act] { act(m_filter); });
    QAction* plot = menu->addAction(text(strings::kOverviewPlotBytes));
    plot->setEnabled(shown != nullptr && static_cast<bool>(m_plot));
    connect(plot, &QAction::triggered, this, [this, act] { act(m_plot); });
    menu->addSeparator();
    QAction* copyRows = menu->addAction(text(strings::kOverviewCopy));
    connect(copyRows, &QAction::triggered, this, &OverviewView::copy);
    return menu;
}

QString OverviewView::selectedText() const {
    QModelIndexList selected = m_table->selectionModel()->selectedRows();
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QString lines;
    for (const QModelIndex& i : selected) {
        if (const OverviewRow* row = m_model.rowAt(i.row())) {
            lines += QString::fromStdString(
                overviewLine(*row, m_model.hex(), m_model.reading(), m_model.decoder()));
            lines += QLatin1Char('\n');
        }
    }
    return lines;
}

void OverviewView::copy() {
    const QString lines = selectedText();
    if (!lines.isEmpty()) QGuiApplication::clipboard()->setText(lines);
}

namespace {

bool isReading(unsigned id) {
    return id >= ID_DATALIST_CAN && id <= ID_DATALIST_CANOPEN;
}

}  // namespace

bool OverviewView::OnCmdMsg(unsigned id) {
    if (isReading(id)) {
        CommandTarget* target = m_readingTarget ? m_readingTarget() : nullptr;
        return target != nullptr && target->OnCmdMsg(id);
    }
    if (id != ID_EDIT_COPY) return false;
    copy();
    return true;
}

bool OverviewView::OnUpdateCmdUI(CmdUI& ui) {
    if (isReading(ui.id)) {
        CommandTarget* target = m_readingTarget ? m_readingTarget() : nullptr;
        return target != nullptr && target->OnUpdateCmdUI(ui);
    }
    if (ui.id != ID_EDIT_COPY) return false;
    ui.enabled = m_table->selectionModel()->hasSelection();
    return true;
}
