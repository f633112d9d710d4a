// The header names of Outlook's and Google's German, French and Spanish exports.
#include "data/exchange/CsvHeaderNames.h"

#include "data/exchange/ContactBuilder.h"

#include <QHash>

namespace larkspan::csv {

std::span<const KnownColumn> localizedColumns()
{
    static const KnownColumn table[] = {
        // German.
        {"vorname", Role::Given, Name, 0},
        {"weiterevornamen", Role::Middle, Name, 0},
        {"nachname", Role::Family, Name, 0},
        {"anrede", Role::Prefix, Name, 0},
        {"firma", Role::Organization, Work, 0},
        {"emailadresse", Role::Email, Email, 0},
        {"email2adresse", Role::Email, Email, 0},
        {"email3adresse", Role::Email, Email, 0},
        {"telefonprivat", Role::Phone, Phone, PhoneHome},
        {"telefonprivat2", Role::Phone, Phone, PhoneHome},
        {"telefongeschaftlich", Role::Phone, Phone, PhoneWork},
        {"telefongeschaftlich2", Role::Phone, Phone, PhoneWork},
        {"telefonfirma", Role::Phone, Phone, PhoneWork},
        {"mobiltelefon", Role::Phone, Phone, PhoneCell},
        {"faxprivat", Role::Phone, Phone, PhoneHome | PhoneFax},
        {"faxgeschaftlich", Role::Phone, Phone, PhoneWork | PhoneFax},
        {"weiteresfax", Role::Phone, Phone, PhoneFax},
        {"weiterestelefon", Role::Phone, Phone, PhoneOther},
        {"haupttelefon", Role::Phone, Phone, 0},
        {"webseite", Role::WebSite, WebSite, 0},
        {"notizen", Role::Note, Comments, 0},
        {"emailtyp", Role::Ignore, Name, 0},
        {"email2typ", Role::Ignore, Name, 0},
        {"email3typ", Role::Ignore, Name, 0},
        {"emailangezeigtername", Role::Ignore, Name, 0},
        {"email2angezeigtername", Role::Ignore, Name, 0},
        {"email3angezeigtername", Role::Ignore, Name, 0},
        {"prioritat", Role::Ignore, Name, 0},
        {"vertraulichkeit", Role::Ignore, Name, 0},
        {"initialen", Role::Ignore, Name, 0},
        // French.
        {"prenom", Role::Given, Name, 0},
        {"deuxiemeprenom", Role::Middle, Name, 0},
        {"nom", Role::Family, Name, 0},
        {"suffixe", Role::Suffix, Name, 0},
        {"societe", Role::Organization, Work, 0},
        {"adressedemessagerie", Role::Email, Email, 0},
        {"adressedemessagerie2", Role::Email, Email, 0},
        {"adressedemessagerie3", Role::Email, Email, 0},
        {"telephonedomicile", Role::Phone, Phone, PhoneHome},
        {"telephone2domicile", Role::Phone, Phone, PhoneHome},
        {"telephonebureau", Role::Phone, Phone, PhoneWork},
        {"telephone2bureau", Role::Phone, Phone, PhoneWork},
        {"telephonesociete", Role::Phone, Phone, PhoneWork},
        {"telmobile", Role::Phone, Phone, PhoneCell},
        {"telephonemobile", Role::Phone, Phone, PhoneCell},
        {"telecopiedomicile", Role::Phone, Phone, PhoneHome | PhoneFax},
        {"telecopiebureau", Role::Phone, Phone, PhoneWork | PhoneFax},
        {"telecopieautre", Role::Phone, Phone, PhoneFax},
        {"telephoneautre", Role::Phone, Phone, PhoneOther},
        {"telephoneprincipal", Role::Phone, Phone, 0},
        {"recepteurderadiomessagerie", Role::Phone, Phone, PhonePager},
        {"pageweb", Role::WebSite, WebSite, 0},
        {"typedemessagerie", Role::Ignore, Name, 0},
        {"typedemessagerie2", Role::Ignore, Name, 0},
        {"typedemessagerie3", Role::Ignore, Name, 0},
        {"nomcompletdeladressedemessagerie", Role::Ignore, Name, 0},
        {"nomcompletdeladressedemessagerie2", Role::Ignore, Name, 0},
        {"nomcompletdeladressedemessagerie3", Role::Ignore, Name, 0},
        {"priorite", Role::Ignore, Name, 0},
        {"prive", Role::Ignore, Name, 0},
        {"initiales", Role::Ignore, Name, 0},
        {"criteredediffusion", Role::Ignore, Name, 0},
        // Spanish.
        {"nombre", Role::Given, Name, 0},
        {"segundonombre", Role::Middle, Name, 0},
        {"apellidos", Role::Family, Name, 0},
        {"organizacion", Role::Organization, Work, 0},
        {"compania", Role::Organization, Work, 0},
        {"direcciondecorreoelectronico", Role::Email, Email, 0},
        {"direcciondecorreoelectronico2", Role::Email, Email, 0},
        {"direcciondelcorreoelectronico3", Role::Email, Email, 0},
        {"direcciondecorreoelectronico3", Role::Email, Email, 0},
        {"particular", Role::Phone, Phone, PhoneHome},
        {"telefonoparticular", Role::Phone, Phone, PhoneHome},
        {"telefonodeltrabajo", Role::Phone, Phone, PhoneWork},
        {"numerodecentralitadelaorganizacion", Role::Phone, Phone, PhoneWork},
        {"telefonomovil", Role::Phone, Phone, PhoneCell},
        {"faxdeltrabajo", Role::Phone, Phone, PhoneWork | PhoneFax},
        {"faxparticular", Role::Phone, Phone, PhoneHome | PhoneFax},
        {"otrofax", Role::Phone, Phone, PhoneFax},
        {"otrotelefono", Role::Phone, Phone, PhoneOther},
        {"telefonoprincipal", Role::Phone, Phone, 0},
        {"paginaweb", Role::WebSite, WebSite, 0},
        {"notas", Role::Note, Comments, 0},
        {"tipodecorreoelectronico", Role::Ignore, Name, 0},
        {"tipodecorreoelectronico2", Role::Ignore, Name, 0},
        {"tipodecorreoelectronico3", Role::Ignore, Name, 0},
        {"nombredepantalladecorreoelectronico", Role::Ignore, Name, 0},
        {"nombredepantalladecorreoelectronico2", Role::Ignore, Name, 0},
        {"nombredepantalladecorreoelectronico3", Role::Ignore, Name, 0},
        {"prioridad", Role::Ignore, Name, 0},
        {"confidencialidad", Role::Ignore, Name, 0},
    };
    return table;
}

bool localizedAddressColumn(const QString &key, QString *group, Part *part)
{
    struct AddressColumn
    {
        const char *key;
        const char *group;
        Part part;
    };
    static const AddressColumn table[] = {
        // German.
        {"strasseprivat", "home", Part::Street},
        {"strasseprivat2", "home", Part::Street2},
        {"strasseprivat3", "home", Part::Street2},
        {"ortprivat", "home", Part::City},
        {"postleitzahlprivat", "home", Part::PostCode},
        {"bundeslandkantonprivat", "home", Part::Region},
        {"regionprivat", "home", Part::Region},
        {"landregionprivat", "home", Part::Country},
        {"landprivat", "home", Part::Country},
        {"postfachprivat", "home", Part::PoBox},
        {"strassegeschaftlich", "work", Part::Street},
        {"strassegeschaftlich2", "work", Part::Street2},
        {"strassegeschaftlich3", "work", Part::Street2},
        {"ortgeschaftlich", "work", Part::City},
        {"postleitzahlgeschaftlich", "work", Part::PostCode},
        {"regiongeschaftlich", "work", Part::Region},
        {"landregiongeschaftlich", "work", Part::Country},
        {"landgeschaftlich", "work", Part::Country},
        {"postfachgeschaftlich", "work", Part::PoBox},
        {"weiterestrasse", "other", Part::Street},
        {"weiterestrasse2", "other", Part::Street2},
        {"weiterestrasse3", "other", Part::Street2},
        {"weitererort", "other", Part::City},
        {"weiterepostleitzahl", "other", Part::PostCode},
        {"weiteresrbundeslandkanton", "other", Part::Region},
        {"weitereselandregion", "other", Part::Country},
        {"weiterespostfach", "other", Part::PoBox},
        // French.
        {"ruedomicile", "home", Part::Street},
        {"ruedomicile2", "home", Part::Street2},
        {"ruedomicile3", "home", Part::Street2},
        {"villedomicile", "home", Part::City},
        {"depregiondomicile", "home", Part::Region},
        {"codepostaldomicile", "home", Part::PostCode},
        {"paysregiondomicile", "home", Part::Country},
        {"paysdomicile", "home", Part::Country},
        {"boitepostaledudomicile", "home", Part::PoBox},
        {"ruebureau", "work", Part::Street},
        {"ruebureau2", "work", Part::Street2},
        {"ruebureau3", "work", Part::Street2},
        {"villebureau", "work", Part::City},
        {"depregionbureau", "work", Part::Region},
        {"codepostalbureau", "work", Part::PostCode},
        {"paysregionbureau", "work", Part::Country},
        {"paysbureau", "work", Part::Country},
        {"bpprofessionnelle", "work", Part::PoBox},
        {"rueautre", "other", Part::Street},
        {"rueautre2", "other", Part::Street2},
        {"rueautre3", "other", Part::Street2},
        {"villeautre", "other", Part::City},
        {"depregionautre", "other", Part::Region},
        {"codepostalautre", "other", Part::PostCode},
        {"paysregionautre", "other", Part::Country},
        {"paysautre", "other", Part::Country},
        {"autreboitepostale", "other", Part::PoBox},
        // Spanish.
        {"calledeldomicilio", "home", Part::Street},
        {"calledeldomicilio2", "home", Part::Street2},
        {"calledeldomicilio3", "home", Part::Street2},
        {"ciudaddeldomicilio", "home", Part::City},
        {"ciudadderesidencia", "home", Part::City},
        {"provinciaoestadodeldomicilio", "home", Part::Region},
        {"codigopostaldeldomicilio", "home", Part::PostCode},
        {"paisoregiondeldomicilio", "home", Part::Country},
        {"apartadopostaldeladireccionpersonal", "home", Part::PoBox},
        {"calledeltrabajo", "work", Part::Street},
        {"calledeltrabajo2", "work", Part::Street2},
        {"calledeltrabajo3", "work", Part::Street2},
        {"ciudaddetrabajo", "work", Part::City},
        {"provinciaoestadodetrabajo", "work", Part::Region},
        {"codigopostaldeltrabajo", "work", Part::PostCode},
        {"paisoregiondeltrabajo", "work", Part::Country},
        {"apartadopostaldeladirecciondeltrabajo", "work", Part::PoBox},
        {"otracalle", "other", Part::Street},
        {"otracalle2", "other", Part::Street2},
        {"otracalle3", "other", Part::Street2},
        {"otraciudad", "other", Part::City},
        {"otraprovinciaoestado", "other", Part::Region},
        {"otrocodigopostal", "other", Part::PostCode},
        {"otropaisoregion", "other", Part::Country},
        {"otroapartadopostal", "other", Part::PoBox},
    };
    static const QHash<QString, const AddressColumn *> byKey = [] {
        QHash<QString, const AddressColumn *> hash;
        for (const AddressColumn &column : table)
            hash.insert(QString::fromLatin1(column.key), &column);
        return hash;
    }();
    const AddressColumn *found = byKey.value(key);
    if (!found)
        return false;
    *group = QString::fromLatin1(found->group);
    *part = found->part;
    return true;
}

} // namespace larkspan::csv
