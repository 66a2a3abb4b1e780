#include "transfer/progress_accessibility.h"

#include <QWidget>

namespace lectoria {

void NameControls(QWidget* window, std::initializer_list<AccessibleNaming> namings) {
    for (const AccessibleNaming& naming : namings) {
        auto* widget = window->findChild<QWidget*>(QString::fromLatin1(naming.object));
        if (!widget)
            continue;
        if (*naming.name)
            widget->setAccessibleName(QString::fromUtf8(naming.name));
        if (*naming.description)
            widget->setAccessibleDescription(QString::fromUtf8(naming.description));
    }
}

void NameProgressWindowControls(QWidget* window) {
    NameControls(window, {
                             {"barre_Progression", "Progression du téléchargement", ""},
                             {"lbl_Etiquette", "", "Téléchargement en cours"},
                             {"lbl_Description", "", "Édition téléchargée"},
                             {"lbl_Chiffres", "", "Quantité reçue, débit et temps restant"},
                             {"lbl_Etat", "", "État du téléchargement"},
                             {"cmd_Annuler", "", "Arrêter le téléchargement, ou fermer la fenêtre après un échec"},
                         });
}

} // namespace lectoria
