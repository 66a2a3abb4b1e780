#include "ui/accessibility.h"

#include "transfer/progress_accessibility.h"
#include "ui/calendar_accessibility.h"
#include "ui/link_label.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QWidget>

namespace lectoria {

namespace {

void MakeBuddy(QWidget* window, const char* label, const char* control) {
    auto* text = window->findChild<QLabel*>(QString::fromLatin1(label));
    auto* target = window->findChild<QWidget*>(QString::fromLatin1(control));
    if (text && target)
        text->setBuddy(target);
}

// The month calendar's parts have Qt's own English names, or none.
void NameCalendarParts(QWidget* calendar) {
    const QString day = QStringLiteral("Sélectionner le jour");
    calendar->setAccessibleName(day);
    if (auto* grid = calendar->findChild<QAbstractItemView*>(QStringLiteral("qt_calendar_calendarview"))) {
        grid->setAccessibleName(day);
        grid->setAccessibleDescription(QStringLiteral("Les flèches choisissent le jour"));
    }
    // The month and year buttons keep their text ("décembre", "2026") as their name.
    NameControls(calendar, {
                               {"qt_calendar_prevmonth", "Mois précédent", ""},
                               {"qt_calendar_nextmonth", "Mois suivant", ""},
                               {"qt_calendar_monthbutton", "", "Mois affiché"},
                               {"qt_calendar_yearbutton", "", "Année affichée"},
                               {"qt_calendar_yearedit", "Année", ""},
                           });
}

// A link label as a screen reader expects a link: role Link, its text as name, its tooltip as
// description, and a press action that follows it as a click or Enter does.
class AccessibleLink final : public QAccessibleWidget {
public:
    explicit AccessibleLink(LinkLabel* link) : QAccessibleWidget(link, QAccessible::Link) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<LinkLabel*>(widget())->text();
        return QAccessibleWidget::text(kind);
    }
    QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }
    void doAction(const QString& action) override {
        if (action == pressAction())
            static_cast<LinkLabel*>(widget())->Activate();
        else
            QAccessibleWidget::doAction(action);
    }
    QStringList keyBindingsForAction(const QString& action) const override {
        if (action == pressAction())
            return {QStringLiteral("Return"), QStringLiteral("Space")};
        return QAccessibleWidget::keyBindingsForAction(action);
    }
};

// Our link labels, and our two top-level windows: Qt takes a plain top-level widget for a
// client area, which AT-SPI shows as a "filler", where a screen reader expects a window (a
// "frame") named after its title.
QAccessibleInterface* Factory(const QString& className, QObject* object) {
    if (!object || !object->isWidgetType())
        return nullptr;
    if (className == QLatin1String("lectoria::LinkLabel"))
        return new AccessibleLink(static_cast<LinkLabel*>(object));
    if (className == QLatin1String("lectoria::frmLctr") || className == QLatin1String("lectoria::frmAbout"))
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return MakeCalendarDayList(object);
}

// The events go on to the handler that was there before ours (a test's), or to the platform.
QAccessible::UpdateHandler previousHandler = nullptr;
void OnAccessibilityUpdate(QAccessibleEvent* event);

void Send(QAccessibleEvent* event) {
    if (previousHandler) {
        previousHandler(event);
        return;
    }
    const QAccessible::UpdateHandler ours = QAccessible::installUpdateHandler(nullptr);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(ours);
}

// The last object announced as focused.
QPointer<QObject> focused;

// The line edit itself, or a control around it (a spin box), not the window that holds it.
bool IsOrIsInside(const QWidget* edit, const QObject* control) {
    for (const QWidget* widget = edit; widget && !widget->isWindow(); widget = widget->parentWidget())
        if (widget == control)
            return true;
    return false;
}

void OnAccessibilityUpdate(QAccessibleEvent* event) {
    if (event->type() == QAccessible::Focus)
        focused = event->object();
    if (ReplaceCalendarGridEvent(event, Send))
        return;
    // A line edit that gets the focus moves its caret first, and Qt reports that move before the
    // focus itself; a screen reader then takes the focus event for old news and says nothing of
    // an empty folder box. A caret only matters once its box (or the spin box around it) has been
    // announced as focused.
    if (auto* edit = qobject_cast<QLineEdit*>(event->object());
        edit && event->type() == QAccessible::TextCaretMoved && !IsOrIsInside(edit, focused))
        return;
    if (event->type() == QAccessible::TableModelChanged) {
        // Qt has already applied this change to the table's cached cells before calling us, and
        // would apply it again on the way to the platform: a reset is the one change that may be
        // applied twice.
        QAccessibleTableModelChangeEvent reset(event->accessibleInterface(),
                                               QAccessibleTableModelChangeEvent::ModelReset);
        Send(&reset);
        return;
    }
    Send(event);
}

} // namespace

void NameMainWindowControls(QWidget* window) {
    InstallAccessibleInterfaces();
    MakeBuddy(window, "lbl_Ville", "lst_Ville");
    NameControls(window, {
                             {"lst_Ville", "Choisir la ville", "La ville de l'édition à télécharger"},
                             {"opt_20m", "", "Journal à télécharger"},
                             {"opt_metro", "", "Journal à télécharger"},
                             // The logos repeat their option's text; their names say which paper they show.
                             {"Picture1", "Logo de 20 minutes", ""},
                             {"Picture2", "Logo de Metro", ""},
                             {"cmd_DL", "", "Télécharger l'édition du journal, de la ville et du jour choisis"},
                             {"txt_ChemFich", "Dossier d'enregistrement", ""},
                             {"cmdAbout", "", "À propos de Lectoria"},
                         });
    if (auto* calendar = window->findChild<QWidget*>(QStringLiteral("Calendar1")))
        NameCalendarParts(calendar);
}

void NameAboutWindowControls(QWidget* window) {
    InstallAccessibleInterfaces();
    NameControls(window, {
                             {"cmdOK", "", "Fermer cette fenêtre"},
                             {"ProgressBar1", "Progression de la vérification", ""},
                             {"lbl_progress", "", "État de la vérification"},
                         });
    // The links take the focus between OK and the update button, in the order they are shown.
    const char* order[] = {"cmdOK", "lbl_site", "lbl_email", "cmdUpdate"};
    QWidget* previous = nullptr;
    for (const char* name : order) {
        auto* widget = window->findChild<QWidget*>(QString::fromLatin1(name));
        if (previous && widget)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}

void InstallAccessibleInterfaces() {
    static const bool installed = [] {
        QAccessible::installFactory(Factory);
        previousHandler = QAccessible::installUpdateHandler(OnAccessibilityUpdate);
        return true;
    }();
    (void)installed;
}

} // namespace lectoria
