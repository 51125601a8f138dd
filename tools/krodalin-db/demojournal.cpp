#include "demojournal.h"

#include <QDate>
#include <QRandomGenerator>
#include <QTime>

#include "common/failure.h"
#include "store/hashchain.h"
#include "store/journalappend.h"
#include "store/schema.h"
#include "store/tablestore.h"

namespace {

// The weight text form: a comma, no trailing zeros.
QString weightText(double kg)
{
    QString t = QString::number(kg, 'f', 1);
    if (t.endsWith(QLatin1String(".0")))
        t.chop(2);
    return t.replace(QLatin1Char('.'), QLatin1Char(','));
}

}

void addDemoWeighings(TableStore &store, int rows)
{
    const QStringList customers = {"ООО Комбинат", "O'Neil Trading", "ЗАО Стройка", "ИП Петров",
                                   "Агрофирма Заря", "ОАО Карьер", "ООО \"Бетон-Сервис\"", "ИП О'Коннор"};
    const QStringList goods = {"песок", "Песок речной", "песчаник", "щебень", "щебень 5-20", "глина",
                               "зерно", "цемент", "уголь"};
    const QStringList drivers = {"Сидоров Пётр Ильич", "Кузнецов Олег Петрович", "Смирнов Андрей Викторович",
                                 "Попов Игорь Николаевич", "Васильев Денис Сергеевич", "Новиков Юрий Андреевич",
                                 "Морозов Алексей Иванович", "Волков Сергей Павлович"};
    const QStringList makes = {"КамАЗ", "МАЗ", "Volvo FH", "Scania R", "ЗИЛ", "Урал"};
    const QStringList companies = {"Автобаза №1", "ТрансЛогистик", "Грузоперевозки Юг", "АТП-5", "частный"};
    const QStringList points = {"Склад №1", "Склад №2", "Карьер Северный", "Элеватор", "Стройплощадка"};
    const QStringList weighers = {"Иванов Иван Иванович", "Петрова Анна Сергеевна"};
    const QStringList letters = {"А", "В", "Е", "К", "М", "Н", "О", "Р", "С", "Т"};

    QRandomGenerator rng(20050315);
    const auto pick = [&](const QStringList &l) { return l[int(rng.bounded(l.size()))]; };

    JournalAppend journal(store);
    const QDate today = QDate::currentDate();
    const int days = 24;
    for (int i = 0; i < rows; ++i) {
        // Oldest first, a dozen weighings a day; the last few are still waiting.
        const QDate day = today.addDays(-(days - 1) + i * days / rows);
        // Through the working day from seven, in the order of the rows.
        const int dayPart = (i * days) % rows;
        const QTime time = QTime(7, 0).addSecs(dayPart * 11 * 3600 / rows + int(rng.bounded(300)));
        const int truck = int(rng.bounded(40));
        const QString number = QStringLiteral("%1%2%3%4 %5")
                                   .arg(letters[truck % 10])
                                   .arg(100 + truck * 7)
                                   .arg(letters[(truck / 3) % 10])
                                   .arg(letters[(truck / 5) % 10])
                                   .arg(truck % 2 ? 61 : 161);
        const double tare = 7000 + truck * 150 + double(rng.bounded(10)) * 10;
        const double gross = tare + 5000 + double(rng.bounded(20000));
        const bool tareFirst = rng.bounded(3) != 0;
        const bool waiting = i >= rows - 12 || rng.bounded(15) == 0;

        QString sum, tara, netto, okTara, okBrutto, okCicle;
        if (waiting) {
            (tareFirst ? tara : sum) = weightText(tareFirst ? tare : gross);
            (tareFirst ? okTara : okBrutto) = QStringLiteral("1");
        } else {
            tara = weightText(tare);
            sum = weightText(gross);
            netto = weightText(gross - tare);
            okTara = okBrutto = QStringLiteral("0");
            okCicle = QStringLiteral("2");
        }
        using namespace WeighingRecord;
        // Every field as text: the empty ones as '', none as NULL.
        QVector<QString> values(FieldCount, QString(QLatin1String("")));
        values[N_Avto] = number;
        values[Marcka] = makes[truck % makes.size()];
        values[FIO] = drivers[truck % drivers.size()];
        values[AvtoPr] = companies[truck % companies.size()];
        values[Zakazchik] = pick(customers);
        values[Gruz_otprav] = pick(points);
        values[Gruz_poluch] = pick(points);
        values[Punkt] = pick(points);
        values[Tovar] = pick(goods);
        values[Forma] = rng.bounded(2) ? QStringLiteral("наличный") : QStringLiteral("безналичный");
        values[N_List] = QString::number(4000 + i);
        if (truck % 4 == 0)
            values[N_pricepa] = QStringLiteral("%1%2 61").arg(letters[truck % 10]).arg(1000 + truck);
        values[Punkt_zagruz] = pick(points);
        values[Netto] = netto;
        values[Dat] = day.toString(Qt::ISODate);
        values[Time] = time.toString(QStringLiteral("HH:mm:ss"));
        values[Klad] = pick(weighers);
        values[Sum] = sum;
        values[Tara] = tara;
        values[Ed_izm] = QStringLiteral("кг");
        values[Ok_tara] = okTara;
        values[Ok_brutto] = okBrutto;
        values[Ok_cicle] = okCicle;
        journal.append(values);
    }
    // Demo rows were never weighed: the chain starts after them, so that
    // verify counts them as from before it.
    if (store.tableExists(Tables::Chain))
        HashChain::restart(store);
    journal.commit();
}
