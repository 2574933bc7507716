#include "views/CViewDataList.h"

#include "resources/CommandIds.h"

#include <QHeaderView>
#include <QVBoxLayout>

namespace {

const CommandMap<CViewDataList>& commandMap();

}  // namespace

CViewDataList::CViewDataList(ProgramState& state, QWidget* parent)
    : QWidget(parent), m_state(state), m_model(state), m_list(this) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(&m_list);
    m_model.setReading(ProtocolReading::kCan);
    m_list.setModel(&m_model);
    connect(&m_timer, &QTimer::timeout, this, &CViewDataList::onTimer);
    m_timer.start(kTimerMs);
}

void CViewDataList::switchReading(ProtocolReading reading) {
    m_model.setReading(reading);
    applyColumnWidths();
}

std::vector<int> CViewDataList::columnWidths() const {
    return dataListColumnWidths(m_model.reading(), m_list.width());
}

void CViewDataList::applyColumnWidths() {
    const std::vector<int> widths = columnWidths();
    for (std::size_t c = 0; c < widths.size(); ++c) {
        m_list.header()->resizeSection(static_cast<int>(c), widths[c]);
    }
}

void CViewDataList::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    applyColumnWidths();
}

void CViewDataList::onTimer() {
    const bool clearing = m_state.flags.test(ApplicationFlags::kClearing);
    const auto n = clearing ? 0u : static_cast<std::uint32_t>(m_state.filter.displayIndexList.size());
    if (!clearing && n != m_model.shownRows()) {
        m_model.setShownRows(n);
        if (n > 0) {
            m_list.scrollToBottom();
        }
    } else if (n == 0 && m_model.shownRows() != 0) {
        m_model.setShownRows(0);
    }
}

void CViewDataList::OnReading(unsigned id) {
    switchReading(id == ID_DATALIST_CAN         ? ProtocolReading::kCan
                  : id == ID_DATALIST_DEVICENET ? ProtocolReading::kDeviceNet
                                                : ProtocolReading::kCanOpen);
}

void CViewDataList::OnUpdateReading(CmdUI& ui) {
    const unsigned current = reading() == ProtocolReading::kCan         ? ID_DATALIST_CAN
                             : reading() == ProtocolReading::kDeviceNet ? ID_DATALIST_DEVICENET
                                                                        : ID_DATALIST_CANOPEN;
    ui.enabled = ui.id != current;
}

void CViewDataList::OnDisabled(CmdUI& ui) { ui.enabled = false; }

namespace {

const CommandMap<CViewDataList>& commandMap() {
    using V = CViewDataList;
    static const CommandMap<V> map = {
        OnCommandRange<V>(ID_DATALIST_CAN, ID_DATALIST_CANOPEN, &V::OnReading),
        {ID_DATALIST_CAN, ID_DATALIST_CANOPEN, nullptr, &V::OnUpdateReading},
        // The filter dialogs and the export come with their own windows; routed here, disabled.
        {ID_DATALIST_FILTER, ID_DATALIST_FILTER, nullptr, &V::OnDisabled},
        {ID_FUNCTIONS_EXPORT, ID_FUNCTIONS_EXPORT, nullptr, &V::OnDisabled},
        {ID_DATALIST_FONT, ID_DATALIST_GRIDLINES, nullptr, &V::OnDisabled},
    };
    return map;
}

}  // namespace

bool CViewDataList::OnCmdMsg(unsigned id) { return commandMap().dispatch(*this, id); }

bool CViewDataList::OnUpdateCmdUI(CmdUI& ui) { return commandMap().update(*this, ui); }
