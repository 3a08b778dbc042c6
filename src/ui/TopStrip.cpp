#include "ui/TopStrip.h"

#include "sources/ListSource.h"
#include "sources/MainWindowRules.h"
#include "ui/MainLayout.h"
#include "ui/MainWindow.h"
#include "ui/RunControls.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QVBoxLayout>

#include <algorithm>

namespace wendlecott::ui {

namespace {

const QFont &verdana()
{
    static const QFont font(QStringLiteral("Verdana"));
    return font;
}

void setItemAvailable(QComboBox *combo, int index, bool available, const QString &tooltip)
{
    auto *model = qobject_cast<QStandardItemModel *>(combo->model());
    if (!model)
        return;
    if (QStandardItem *item = model->item(index)) {
        item->setEnabled(available);
        item->setToolTip(available ? QString() : tooltip);
    }
}

} // namespace

QLabel *TopStrip::makeLabel(const QString &name, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setFont(verdana());
    return label;
}

QPushButton *TopStrip::makeButton(const QString &name, const QString &caption, const QString &tooltip,
                                  QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    if (!tooltip.isEmpty())
        button->setToolTip(tooltip);
    return button;
}

TopStrip::TopStrip(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("Frame1"));
    setFrameShape(QFrame::NoFrame);
    m_rows = new QVBoxLayout(this);
    // The strip is 200 twips wider than the window: keep its right end clear of the edge.
    m_rows->setContentsMargins(kStripMargin, 4, kStripMargin + pixelsCoveringTwips(200), 4);
    m_rows->setSpacing(0);
    m_firstRow = new QHBoxLayout;
    m_firstRow->setSpacing(kStripSpacing);
    m_secondRow = new QHBoxLayout;
    m_secondRow->setSpacing(kStripSpacing);
    m_rows->addLayout(m_firstRow);
    m_rows->addLayout(m_secondRow);
    buildSourceControls();
}

// "Search Type:" and Combo1, the name sources.
void TopStrip::buildSourceControls()
{
    const QString sourceTip = QStringLiteral("Select the type of search you would like to run");
    m_sourceLabel = makeLabel(QStringLiteral("Label6"), QStringLiteral("Search Type:"), this);
    m_sourceLabel->setToolTip(sourceTip);
    m_sourceBox = new QComboBox(this);
    m_sourceBox->setObjectName(QStringLiteral("Combo1"));
    m_sourceBox->setToolTip(sourceTip);
    for (const sources::NameSource &source : sources::nameSources())
        m_sourceBox->addItem(source.caption);
    m_sourceBox->setCurrentIndex(-1); // no source until the user picks one
    m_sourceBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
}

void TopStrip::addControls(const RunControls &run)
{
    m_wordList = run.wordListWidgets();
    m_stopButton = run.stopButton();
    buildSearchControls();
    m_setupButton = makeButton(QStringLiteral("cmdSetup"), QStringLiteral("Setup"), QString(), this);
    m_websiteButton = makeButton(QStringLiteral("cmdWebsite"), QString(), QString(), this);

    m_firstRow->addWidget(m_sourceLabel);
    m_firstRow->addWidget(m_sourceBox);
    // The word-list group with Stop after Start, then the search box.
    for (QWidget *widget : std::as_const(m_wordList)) {
        m_firstRow->addWidget(widget);
        if (widget == run.startButton())
            m_firstRow->addWidget(m_stopButton);
    }
    for (QWidget *widget : std::initializer_list<QWidget *>{m_searchLabel, m_searchEdit, m_searchTargetLabel,
                                                            m_searchTargetBox, m_searchButton})
        m_firstRow->addWidget(widget);
    m_firstRow->addStretch(1);
    m_firstRow->addWidget(m_setupButton);
    m_firstRow->addWidget(m_websiteButton);
    m_secondRow->addStretch(1);

    setSearchControlsVisible(false);
    m_searchEdit->setEnabled(false);
    m_searchTargetBox->setEnabled(false);
}

// The search box of the two search-engine sources.
void TopStrip::buildSearchControls()
{
    m_searchLabel = makeLabel(QStringLiteral("SLabel1"), QStringLiteral("Search String:"), this);
    m_searchEdit = new QLineEdit(this);
    m_searchEdit->setObjectName(QStringLiteral("txtSearch"));
    m_searchEdit->setToolTip(QStringLiteral("Enter a search string"));
    m_searchEdit->setMinimumWidth(160);
    m_searchTargetLabel = makeLabel(QStringLiteral("SLabel2"), QStringLiteral("Get"), this);
    m_searchTargetBox = new QComboBox(this);
    m_searchTargetBox->setObjectName(QStringLiteral("Combo2"));
    m_searchTargetBox->setToolTip(QStringLiteral("The approximate number of domains to find, if available."));
    m_searchTargetBox->addItems({QStringLiteral("~100 Domains"), QStringLiteral("~200 Domains"),
                                 QStringLiteral("~500 Domains"), QStringLiteral("~1000 Domains")});
    m_searchTargetBox->setCurrentIndex(0);
    m_searchButton = makeButton(QStringLiteral("cmdCreate"), QStringLiteral("Search"), QString(), this);
}

void TopStrip::setWordListControlsVisible(bool visible)
{
    for (QWidget *widget : std::as_const(m_wordList))
        widget->setVisible(visible);
}

void TopStrip::setSearchControlsVisible(bool visible)
{
    for (QWidget *widget : std::initializer_list<QWidget *>{m_searchLabel, m_searchEdit, m_searchTargetLabel,
                                                            m_searchTargetBox, m_searchButton})
        widget->setVisible(visible);
}

void TopStrip::setWindowsAvailable(bool setup, bool listBuilder, bool browse)
{
    const QString &missing = MainWindow::kNotAvailableYet;
    m_setupButton->setEnabled(setup);
    m_setupButton->setToolTip(setup ? QString() : missing);
    m_listBuilderAvailable = listBuilder;
    m_searchButton->setToolTip(listBuilder ? QStringLiteral("Click here to start your internet search!")
                                           : missing);
    setSearchButtonWanted(m_searchButtonWanted);
    for (int i = 0; i < m_sourceBox->count(); ++i) {
        const sources::SourceWindowNeeded needs = sources::windowNeededBy(i);
        if (needs != sources::SourceWindowNeeded::None)
            setItemAvailable(m_sourceBox, i,
                             needs == sources::SourceWindowNeeded::Browse ? browse : listBuilder, missing);
    }
}

void TopStrip::setSearchButtonWanted(bool wanted)
{
    m_searchButtonWanted = wanted;
    m_searchButton->setEnabled(wanted && m_listBuilderAvailable);
}

void TopStrip::setRowCount(int rows)
{
    if (rows == m_rowCount)
        return;
    m_rowCount = rows;
    QHBoxLayout *from = rows == 1 ? m_secondRow : m_firstRow;
    QHBoxLayout *to = rows == 1 ? m_firstRow : m_secondRow;
    for (QWidget *button : {m_setupButton, m_websiteButton}) {
        from->removeWidget(button);
        to->addWidget(button); // after the row's stretch: at its right end
    }
    m_rows->setSpacing(rows == 1 ? 0 : kStripSpacing);
}

void TopStrip::fitRowsTo(int windowWidth)
{
    setRowCount(windowWidth >= controlsWidth() + buttonsWidth() - 2 * kStripMargin ? 1 : 2);
}

int TopStrip::secondRowHeight() const
{
    return m_setupButton->sizeHint().height() + kStripSpacing;
}

// The width a set of the strip's controls takes side by side, with the spacing after each.
int TopStrip::widthOf(std::initializer_list<const QWidget *> widgets) const
{
    int width = 0;
    for (const QWidget *widget : widgets)
        width += std::clamp(widget->sizeHint().width(), widget->minimumWidth(), widget->maximumWidth()) +
                 kStripSpacing;
    return width;
}

int TopStrip::controlsWidth() const
{
    // Always shown, and the two sets that take turns by source.
    const int common = widthOf({m_sourceLabel, m_sourceBox, m_stopButton});
    int wordList = 0;
    for (const QWidget *widget : m_wordList)
        wordList += widthOf({widget});
    const int search =
        widthOf({m_searchLabel, m_searchEdit, m_searchTargetLabel, m_searchTargetBox, m_searchButton});
    return 2 * kStripMargin + common + std::max(wordList, search);
}

int TopStrip::buttonsWidth() const
{
    return 2 * kStripMargin + widthOf({m_setupButton, m_websiteButton});
}

} // namespace wendlecott::ui
