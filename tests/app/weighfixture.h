#pragma once
// The main window as the start order makes it (with the pending-truck window
// beside it) on a throw-away journal, its serial port on a pseudo-terminal
// with a simulated indicator at the far end. The link's clock is driven by
// hand: second() lets one second pass and waits for the indicator's answer to
// the poll, so readings reach the weigh operation the way they do at a scale.

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringEncoder>
#include <QTest>

#include <memory>

#include "common/session.h"
#include "app/mainform.h"
#include "app/startup.h"
#include "indicator/devicemodel.h"
#include "indicator/indicatorlink.h"
#include "indicator/linkclock.h"
#include "toolkit/portswitch.h"
#include "simulator/simulator.h"
#include "linksecond.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"
#include "toolkit/cursorgrid.h"
#include "toolkit/cursormodel.h"
#include "tempdatabase.h"
#include "weighing/tnewdb.h"
#include "weighing/entryform.h"
#include "weighing/journalrecord.h"
#include "weighing/weighoperation.h"

// The thirteen entry-field texts of one truck, ComboBox1 first.
inline QStringList truck(const QString &number, const QString &customer = QStringLiteral("ООО Карьер"))
{
    return {number,
            QStringLiteral("КамАЗ"),
            QStringLiteral("Иванов И.И."),
            QStringLiteral("Автобаза 3"),
            customer,
            QStringLiteral("ЗАО Щебень"),
            QStringLiteral("ООО Стройка"),
            QStringLiteral("Склад 2"),
            QStringLiteral("щебень"),
            QStringLiteral("наличный"),
            QStringLiteral("104512"),
            QStringLiteral("ПР 17"),
            QStringLiteral("Карьер 5")};
}

class WeighFixture
{
public:
    using Model = IndicatorSimulator::Model;

    // toolLines: more lines of tools.ini's [Tool] section ("max=60000\r\n").
    explicit WeighFixture(Model model = Model::Libra124, const QString &unit = QStringLiteral("кг"),
                          const QString &toolLines = QString())
        : sim(model)
    {
        Session::LoginOk = 1;
        Session::OperatorName = QStringLiteral("Сидорова А.В.");
        QString error;
        plugged = sim.plug(&error);
        if (!plugged)
            qWarning("no pseudo-terminal: %s", qPrintable(error));
        sim.setSendInterval(0); // a WI2002 sends each second() of the test, not on a timer of its own

        const QString ini = QStringLiteral("[Tool]\r\nCOM=%1\r\nSpeed=br9600\r\nwi=%2\r\nopen=0\r\nizmer=%3\r\n%4")
                                .arg(sim.devicePath(), IndicatorSimulator::modelText(model), unit, toolLines);
        QFile f(db.programDir() + QStringLiteral("/tools.ini"));
        QStringEncoder encoder("windows-1251");
        const QByteArray bytes = encoder.encode(ini);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        f.close();

        form = std::make_unique<MainForm>(db.store(), db.programDir());
        entry = form->entryForm();
        pending = std::make_unique<TnewDB>(entry);
        connectPendingTrucks(*form, *pending);
        link = form->indicatorLink();
        link->clock()->setManual(true);
    }

    ~WeighFixture()
    {
        pending.reset();
        form.reset();
    }

    PortSwitch *portSwitch() const { return form->findChild<PortSwitch *>(QStringLiteral("RxSwitch1")); }
    WeighOperation *weighing() const { return entry->weighing(); }
    QRadioButton *modeButton(WeighingMode m) const { return entry->modeButton(m); }
    QLabel *liveWeight() const { return form->findChild<QLabel *>(QStringLiteral("RxLabel2")); }

    bool switchOn()
    {
        portSwitch()->setOn(true);
        return link->isPortOpen();
    }

    // One second of the link: a WI2002's reading of that second, the ticks
    // that fall due, then the indicator's answer to the poll.
    bool second() { return linkSecond(*link, sim, StreamFeed::ReadingEachSecond); }

    // Puts the weight on the scale and lets seconds pass until the program
    // reads it as stable.
    bool settle(double weight) { return settleLink(*link, sim, weight, StreamFeed::ReadingEachSecond); }

    void fill(const QStringList &texts)
    {
        for (int i = 0; i < texts.size(); ++i)
            entry->setFieldText(i + 1, texts[i]);
    }

    QStringList fields() const
    {
        QStringList out;
        for (int i = 1; i <= WeighingRecord::EntryFieldCount; ++i)
            out << entry->fieldText(i);
        return out;
    }

    void weigh() { entry->weighButton()->click(); }

    // The journal as stored: each row's 25 texts, in stored order.
    QList<QStringList> journal() const { return journal(db.store()); }
    static QList<QStringList> journal(TableStore &store)
    {
        TableCursor c(store, Tables::Journal);
        c.Open();
        QList<QStringList> rows;
        if (c.IsEmpty())
            return rows;
        for (; !c.AtEnd(); c.Next()) {
            QStringList row;
            for (int p = 0; p < WeighingRecord::FieldCount; ++p)
                row << c.FieldText(p);
            rows << row;
        }
        return rows;
    }

    static QStringList listOf(QComboBox *box)
    {
        QStringList out;
        for (int i = 0; i < box->count(); ++i)
            out << box->itemText(i);
        return out;
    }

    // A dialog handler for the pending-truck window: moves to `row` of its
    // list and presses " Выбрать".
    static auto chooseRow(int row)
    {
        return [row](QWidget *w) {
            auto *d = qobject_cast<TnewDB *>(w);
            if (!d) {
                qWarning("not the pending-truck window: %s", w->metaObject()->className());
                return;
            }
            CursorModel *m = d->grid()->cursorModel();
            if (row > 0 && row < m->rowCount())
                d->grid()->setCurrentIndex(m->index(row, 0));
            d->chooseButton()->click();
        };
    }

    TempDatabase db;
    IndicatorSimulator sim;
    bool plugged = false;
    std::unique_ptr<MainForm> form;
    std::unique_ptr<TnewDB> pending;
    EntryForm *entry = nullptr;
    IndicatorLink *link = nullptr;
};
