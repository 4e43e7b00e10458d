#include "Form1.h"

#include "Accessibility.h"
#include "HearingInWindow.h"
#include "KeyPreview.h"
#include "OperatorInput.h"
#include "OutsideText.h"
#include "MessagesInWindow.h"
#include "RepeatIndicator.h"
#include "TailLabel.h"
#include "Twips.h"
#include "VbColor.h"
#include "WindowIcon.h"
#include "contract/CommandTable.h"
#include "panel/UntrappedFailure.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QGroupBox>
#include <QFontInfo>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>

#include <stdexcept>

namespace {

QFont windowFont()
{
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("MS Sans Serif"), font.family()});
    font.setPointSizeF(8.25);
    // The captions are plain Latin text, drawn glyph by glyph from the font's own
    // table as the design's bitmap font draws them, without kerning. The text shaper
    // is left out: it would load each face's layout tables (the regular and the bold
    // status) before the window's first paint. Text that needs shaping still gets it.
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

// The panel's own font, with Symbola behind it only for the pictures of control
// characters (U+2400 on), which the usual fonts lack. The family the window's font
// resolves to goes before Symbola, so that a wanted family that is not installed
// ("MS Sans Serif") does not hand the letters to Symbola.
QFont receivedDataFont(QFont font)
{
    QStringList families = font.families();
    if (families.isEmpty())
        families << font.family();
    const QString drawnIn = QFontInfo(font).family();
    if (!families.contains(drawnIn))
        families << drawnIn;
    families.removeAll(QStringLiteral("Symbola"));
    families << QStringLiteral("Symbola");
    font.setFamilies(families);
    return font;
}

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption, QRect twips)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(twips);
    button->setAutoDefault(false);
    return button;
}

// A command's button carries the command table's caption.
QPushButton *makeButton(QWidget *parent, const char *name, char command, QRect twips)
{
    return makeButton(parent, name, QString::fromLatin1(CommandTable::find(command)->caption), twips);
}

QFrame *makeLine(QWidget *parent, const char *name, int top)
{
    auto *line = new QFrame(parent);
    line->setObjectName(QString::fromLatin1(name));
    line->setGeometry(0, twipsToPixels(top), twipsToPixels(Form1::kClientWidth), 1);
    line->setAutoFillBackground(true);
    QPalette p = line->palette();
    p.setColor(QPalette::Window, VbColor::toColor(VbColor::kApplicationWorkspace));
    line->setPalette(p);
    return line;
}

// The window holds the label before its caption is set: screen readers ask which of
// the window's labels it is as soon as it has text.
void makeLabel(Label *&label, QWidget *parent, const char *name, const QString &caption, QRect twips)
{
    label = new Label(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setCaption(caption);
    label->setGeometry(twips);
}

QAction *makeItem(QMenu *menu, const char *name, const QString &caption, bool checkable = false)
{
    QAction *item = menu->addAction(caption);
    item->setObjectName(QString::fromLatin1(name));
    item->setCheckable(checkable);
    return item;
}

} // namespace

Form1::Form1(Desktop &desktop, PortDevices ports, QWidget *parent)
    : QMainWindow(parent)
    , m_model(desktop, std::move(ports))
    , IniFile(m_model.settingsMemory().iniFile)
    , Comm1(m_model.line())
    , Timer1(m_model.line().tick())
    , repeat(&m_model.repeat())
    , m_desktop(desktop)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("ORMA QX50 Voice Memory"));
    setWindowIcon(makeWindowIcon());
    setFont(windowFont());
    Comm1.setObjectName(QStringLiteral("Comm1"));
    Timer1.setObjectName(QStringLiteral("Timer1"));

    installAccessibleInterfaces();
    createControls();
    createMenus();
    setTabOrder();
    // Before the handlers: a click or choice stops a repeat before it does its work.
    // Exit and the repeat's own item decide for themselves.
    auto *input = new OperatorInput(this, {Exit, menuRepeatTransmit}, this);
    connect(input, &OperatorInput::acted, this, [this] { repeat->stop(RepeatTransmit::Stop::Operator); });
    connect(repeat, &RepeatTransmit::changed, input, [this, input] { input->setWatching(repeat->repeating()); });
    new RepeatIndicator(*this);
    new MessagesInWindow(*this); // after the repeat's indicator, whose line it shares
    new HearingInWindow(*this); // Options' last items, after Message Names
    connectHandlers();
    followModel();
    // The model's boxes wait for the operator; so must every other door meanwhile.
    m_model.boxes().setWaitingForOperator([] { return QApplication::activeModalWidget() != nullptr; });
    makeAccessible(*this);

    // The window always takes the size of its contents; the operator cannot resize it.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    setOuterHeight(kDesignHeight);
    Command3->setFocus();
}

Form1::~Form1() = default;

void Form1::createControls()
{
    m_controls = new QWidget(this);
    m_controls->setObjectName(QStringLiteral("controls"));
    m_controls->setFixedWidth(twipsToPixels(kClientWidth));
    setCentralWidget(m_controls);

    Line1 = makeLine(m_controls, "Line1", 0);

    Frame3 = new QGroupBox(QStringLiteral("Function"), m_controls);
    Frame3->setObjectName(QStringLiteral("Frame3"));
    Frame3->setGeometry(twipsRect(300, 60, 1575, 2295));
    Command1 = makeButton(Frame3, "Command1", 'M', twipsRect(240, 300, 1095, 375));
    Command2 = makeButton(Frame3, "Command2", 'R', twipsRect(240, 780, 1095, 375));
    Command3 = makeButton(Frame3, "Command3", 'P', twipsRect(240, 1260, 1095, 375));
    Command4 = makeButton(Frame3, "Command4", 'T', twipsRect(240, 1740, 1095, 375));

    Frame2 = new QGroupBox(QStringLiteral("Memory"), m_controls);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame2->setGeometry(twipsRect(2160, 60, 1575, 2295));
    // The keypad: each key where the command table places it.
    constexpr int kColumn[] = {180, 600, 1020};
    constexpr int kRow[] = {300, 780, 1260, 1740};
    for (int digit = 0; digit <= 9; ++digit) {
        const char character = CommandTable::memoryCharacter(digit);
        const KeypadPlace place = CommandTable::find(character)->key;
        const QByteArray name = "Number" + QByteArray::number(digit);
        Number[digit] = makeButton(Frame2, name.constData(), character,
                                   twipsRect(kColumn[place.column], kRow[place.row], 375, 375));
    }

    Command5 = makeButton(m_controls, "Command5", 'S', twipsRect(2340, 2520, 1215, 375));

    // The design width (975 twips) is narrower than "Com Port Closed": the label keeps
    // its design centre and takes the free width left of "Stop".
    constexpr int kStatusCentre = 570 + 975 / 2;
    makeLabel(Status, m_controls, "Status", m_model.statusCaption(), twipsRect(0, 2580, 2 * kStatusCentre, 195));
    QFont bold = font();
    bold.setBold(true);
    Status->setFont(bold);
    Status->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Status->setForeColor(m_model.statusColour());

    // The received-data panel, below the window's edge while it is hidden.
    Line2 = makeLine(m_controls, "Line2", 3120);
    makeLabel(Label1, m_controls, "Label1", QStringLiteral("Serial com RX data"), twipsRect(120, 3180, 3285, 195));
    Command6 = makeButton(m_controls, "Command6", QStringLiteral("x"), twipsRect(3750, 3180, 225, 195));
    QFont xFont = font();
    xFont.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), xFont.family()});
    xFont.setBold(true);
    Command6->setFont(xFont);
    Command6->setFocusPolicy(Qt::NoFocus); // the panel's close box is for the mouse
    TextBox = new TailLabel(m_controls);
    TextBox->setObjectName(QStringLiteral("TextBox"));
    TextBox->setGeometry(twipsRect(60, 3420, 3915, 3075));
    TextBox->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    TextBox->setWordWrap(true);
    TextBox->setFont(receivedDataFont(font()));
    TextBox->setBackColor(VbColor::kWindowBackground);
    TextBox->setVisible(false);
}

// The menu titles carry the usual access keys (Alt+F, Alt+O, Alt+C, Alt+H), so the
// menus can be reached without a mouse.
void Form1::createMenus()
{
    QMenu *files = menuBar()->addMenu(QStringLiteral("&Files"));
    files->setObjectName(QStringLiteral("Files"));
    Exit = makeItem(files, "Exit", QStringLiteral("Exit"));

    QMenu *options = menuBar()->addMenu(QStringLiteral("&Options"));
    options->setObjectName(QStringLiteral("menuOptions"));
    menuKeyboardCommands = makeItem(options, "menuKeyboardCommands", QStringLiteral("Keyboard Commands"), true);
    menuKeyboardCommands->setChecked(true);
    menuShowSerialComRxData
        = makeItem(options, "menuShowSerialComRxData", QStringLiteral("Show Serial Com RX data"), true);
    options->addSeparator()->setObjectName(QStringLiteral("menuSpace4"));
    menuRepeatTransmit = makeItem(options, "menuRepeatTransmit", RepeatIndicator::kStartCaption);

    QMenu *com = menuBar()->addMenu(QStringLiteral("&Com"));
    com->setObjectName(QStringLiteral("menu_mainCom"));
    for (int index = kFirstComPort; index <= kLastComPort; ++index) {
        QAction *item = makeItem(com, "menuCom", QStringLiteral("Com%1").arg(index), true);
        item->setProperty("Index", index);
        m_menuCom[static_cast<size_t>(index - kFirstComPort)] = item;
    }
    com->addSeparator()->setObjectName(QStringLiteral("menuSpace1"));
    menuCloseComPort = makeItem(com, "menuCloseComPort", QStringLiteral("Close Com port"));
    menuCloseComPort->setEnabled(false);
    com->addSeparator()->setObjectName(QStringLiteral("menuSpace3"));
    menuPortDevices = makeItem(com, "menuPortDevices", QStringLiteral("Port devices\u2026"));
    com->setToolTipsVisible(true); // a greyed Com item says why

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help"));
    menuGuide = makeItem(help, "menuGuide", QStringLiteral("Guide"));
    help->addSeparator()->setObjectName(QStringLiteral("menuSpace2"));
    menuAbout = makeItem(help, "menuAbout", QStringLiteral("About"));

    // Whether a screen reader hears the received lines: on at every start, Qt keeps the check.
    menuSpeakReceivedData = makeItem(options, "menuSpeakReceivedData", QStringLiteral("Speak Received Data"), true);
    menuSpeakReceivedData->setChecked(true);
    // Whether a lost port is waited for and reopened by itself: the model remembers it.
    menuReopenLostPort = makeItem(options, "menuReopenLostPort", QStringLiteral("Reopen Lost Port"), true);
    menuReopenLostPort->setChecked(m_model.line().reopenLostPort());
}

// Play, 1, 0, 2 to 9, MIC record, RX record, Transmit, Stop.
void Form1::setTabOrder()
{
    QWidget *order[] = {Command3,  Number[1], Number[0], Number[2], Number[3], Number[4], Number[5], Number[6],
                        Number[7], Number[8], Number[9], Command1,  Command2,  Command4,  Command5};
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

QAction *Form1::menuCom(int index) const
{
    if (index < kFirstComPort || index > kLastComPort)
        throw std::out_of_range("the Com menu has no item " + std::to_string(index));
    return m_menuCom[static_cast<size_t>(index - kFirstComPort)];
}

void Form1::setOuterHeight(int twips)
{
    m_outerHeight = twips;
    m_controls->setFixedHeight(twipsToPixels(twips - kFrameAllowance));
    layout()->activate(); // the window takes its new height now, not on a later turn of the loop
}

void Form1::showStatus(const QString &caption, quint32 foreColor)
{
    m_model.showStatus(caption, foreColor);
}

// The controls show what the model holds, as it changes.
void Form1::followModel()
{
    connect(&m_model, &PanelModel::statusChanged, this, [this](const QString &caption, quint32 foreColor) {
        Status->setCaption(caption);
        Status->setForeColor(foreColor);
    });
    connect(&m_model.line(), &Line::receivedChanged, TextBox, &Label::setCaption);
    connect(&m_model.line(), &Line::checkedPortChanged, this, [this](int checked) {
        for (int port = kFirstComPort; port <= kLastComPort; ++port)
            menuCom(port)->setChecked(port == checked);
    });
    connect(&m_model.line(), &Line::closeOfferedChanged, menuCloseComPort, &QAction::setEnabled);
    connect(&m_model.line(), &Line::usabilityChanged, this, [this](int port) {
        menuCom(port)->setEnabled(Comm1.portUsable(port));
        menuCom(port)->setToolTip(shownAsWritten(Comm1.whyNotUsable(port)));
    });
    connect(&m_model, &PanelModel::warningPortNotOpen, this, [this] {
        m_keyWarningPending = false; // this box answers a key still waiting for its own
    });
}

template <typename Sender, typename Signal>
void Form1::on(Sender *sender, Signal signal, void (Form1::*handler)())
{
    if constexpr (std::is_same_v<Sender, QAction>)
        onMenuItem(sender, [this, handler] { (this->*handler)(); });
    else
        connect(sender, signal, this, [this, handler] { runHandler(handler); });
}

void Form1::onMenuItem(QAction *item, const std::function<void()> &handler)
{
    connect(item, &QAction::triggered, this, [this, item, handler] {
        // The handlers own the check marks: undo the toggle Qt makes on its own.
        if (item->isCheckable())
            item->setChecked(!item->isChecked());
        runTrapped(m_desktop, handler);
    });
}

void Form1::runHandler(void (Form1::*handler)())
{
    runTrapped(m_desktop, [this, handler] { (this->*handler)(); });
}

void Form1::connectHandlers()
{
    on(Command1, &QPushButton::clicked, &Form1::Command1_Click);
    on(Command2, &QPushButton::clicked, &Form1::Command2_Click);
    on(Command3, &QPushButton::clicked, &Form1::Command3_Click);
    on(Command4, &QPushButton::clicked, &Form1::Command4_Click);
    on(Command5, &QPushButton::clicked, &Form1::Command5_Click);
    constexpr void (Form1::*kNumberClick[])()
        = {&Form1::Number0_Click, &Form1::Number1_Click, &Form1::Number2_Click, &Form1::Number3_Click,
           &Form1::Number4_Click, &Form1::Number5_Click, &Form1::Number6_Click, &Form1::Number7_Click,
           &Form1::Number8_Click, &Form1::Number9_Click};
    for (size_t digit = 0; digit < Number.size(); ++digit)
        on(Number[digit], &QPushButton::clicked, kNumberClick[digit]);

    on(Exit, &QAction::triggered, &Form1::Exit_Click);
    for (int index = kFirstComPort; index <= kLastComPort; ++index)
        onMenuItem(menuCom(index), [this, index] { menuCom_Click(index); });
    on(menuCloseComPort, &QAction::triggered, &Form1::menuCloseComPort_Click);
    on(menuKeyboardCommands, &QAction::triggered, &Form1::menuKeyboardCommands_Click);
    on(menuShowSerialComRxData, &QAction::triggered, &Form1::menuShowSerialComRxData_Click);
    on(Command6, &QPushButton::clicked, &Form1::Command6_Click);
    on(menuGuide, &QAction::triggered, &Form1::menuGuide_Click);
    on(menuAbout, &QAction::triggered, &Form1::menuAbout_Click);
    on(menuPortDevices, &QAction::triggered, &Form1::menuPortDevices_Click);
    on(menuRepeatTransmit, &QAction::triggered, &Form1::menuRepeatTransmit_Click);
    on(menuReopenLostPort, &QAction::triggered, &Form1::menuReopenLostPort_Click);
    new KeyPreview(this, [this](int characterCode) {
        runTrapped(m_desktop, [this, characterCode] { Form_KeyPress(characterCode); });
    });
}
