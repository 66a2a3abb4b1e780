#include "transfer/progress_accessibility.h"

#include <QWidget>

namespace lectoria {

void NameProgressWindowControls(QWidget* window) {
    const struct {
        const char* object;
        const char* name;
        const char* description;
    } parts[] = {
        {"barre_Progression", "Progression du téléchargement", ""},
        {"lbl_Etiquette", "", "Téléchargement en cours"},
        {"lbl_Description", "", "Édition téléchargée"},
        {"lbl_Chiffres", "", "Quantité reçue, débit et temps restant"},
        {"lbl_Etat", "", "État du téléchargement"},
        {"cmd_Annuler", "", "Arrêter le téléchargement, ou fermer la fenêtre après un échec"},
    };
    for (const auto& part : parts) {
        auto* widget = window->findChild<QWidget*>(QString::fromLatin1(part.object));
        if (!widget)
            continue;
        if (*part.name)
            widget->setAccessibleName(QString::fromUtf8(part.name));
        if (*part.description)
            widget->setAccessibleDescription(QString::fromUtf8(part.description));
    }
}

} // namespace lectoria
