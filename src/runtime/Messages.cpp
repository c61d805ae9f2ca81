#include "runtime/Messages.h"

#include <algorithm>
#include <iterator>

namespace vl {
namespace {

struct Entry {
  int id;
  const char* text;
};

// Sorted by id. Non-ASCII bytes are Windows-1252.
// Texts ending in %s or taking a name are completed by their callers.
constexpr Entry kMessages[] = {
    {202, "OK"},
    {203, "Funzione DOS non valida!"},
    {204, "File non trovato!"},
    {205, "Nome file o cartella non valido!"},
    {206, "Troppi file aperti!"},
    {207, "Accesso negato!"},
    {208, "Riferimento file non valido!"},
    {209, "Memoria insufficiente!"},
    {210, "Codice di accesso file non valido!"},
    {211, "Unit\xE0"" non valida!"},
    {212, "Impossibile rimuovere la cartella corrente! "},
    {213, "Errore di lettura disco! Il file potrebbe essere danneggiato."},
    {214, "Disco pieno!"},
    {215, "Formato file non valido!"},
    {216, "Il disco \xE8"" protetto in scrittura!"},
    {217, "L'unit\xE0"" \xE8"" vuota!"},
    {218, "Errore dati CRC!"},
    {219, "Errore ricerca disco!"},
    {220, "Tipo di supporto sconosciuto!"},
    {221, "Settore non trovato!"},
    {222, "Carta esaurita!"},
    {223, "Errore dispositivo scrittura!"},
    {224, "Errore dispositivo lettura!"},
    {225, "Malfunzionamento hardware!"},
    {226, "Impossibile creare file temporaneo!"},
    {227, "Errore sconosciuto #"},
    {228, "Sconosciuto"},
    {229, "Impossibile modificare il valore di una variabile globale di sola lettura"},
    {230, "Plug-in gi\xE0"" installato! Riavviare Vellion per aggiornarlo."},
    {231, "Plug-in non valido!"},
    {232, "File inesistente!"},
    {233, "Impossibile aprire il plug-in."},
    {234, "Il nome di questo plug-in \xE8"" in conflitto con un plug-in installato in precedenza.|Contattare il fornitore del Plug-in."},
    {236, "Impossibile accedere a questa risorsa."},
    {238, "Invio email. Annullare?"},
    {239, "Questa azione richiede parametro(i) %s."},
    {240, "Sottoroutine inesistente!"},
    {241, "In questa espressione mancano le virgolette."},
    {242, "Errore di sintassi!"},
    {244, "Etichetta inesistente!"},
    {245, "Funzione inesistente!"},
    {246, "Pagina inesistente!"},
    {247, "Non capisco questo comando!"},
    {248, "Impossibile connettersi all'email host:"},
    {249, "Non \xE8"" stato specificato il server di posta elettronica."},
    {250, "Invio email annullato."},
    {251, "Oggetto inesistente."},
    {252, "Tipo di informazione oggetto non valida."},
    {253, "Chiave di registro non valida "},
    {254, "L'azione Loop (Ciclo) richiede una variabile."},
    {255, "Da questa posizione non sono permesse le azioni di cambio pagina."},
    {256, "Applicazione non valida! Provare un altro file exe."},
    {300, "Il file non pu\xF2"" essere copiato su se stesso."},
    {301, "Impossibile copiare il file."},
    {303, "File inesistente."},
    {304, "Percorso inesistente."},
    {316, "Impossibile rimuovere la cartella."},
    {320, "Valore d'immissione non valido. Premere ESC per abbandonare le modifiche."},
    {321, "L'azione %s non pu\xF2"" essere originata da un collegamento del navigatore web."},
    {322, "Impossibile inizializzare il debugger."},
    {323, "L'equazione matematica contiene errori di sintassi."},
    {324, "\"%s\" \xE8"" un valore numerico intero non valido."},
    {325, "\"%s\" \xE8"" un valore di valuta non valido."},
    {326, "\"%s\" \xE8"" un valore numerico decimale non valido."},
    {327, "\"%s\" \xE8"" un valore booleano non valido."},
    {328, "\"%s\" \xE8"" un valore di data non valido."},
    {329, "Impossibile modificare il tipo di variabile globale "},
    {330, "\"%s\" \xE8"" un tipo di variabile non valida."},
    {331, "Impossibile inizializzare la finestra principale dell'applicazione."},
    {332, "Impossibile rilevare l'applicazione."},
    {333, "Un'applicazione \xE8"" attualmente allegata a %s."},
    {335, "L'applicazione non accetta file trascinati (Drag and Drop)."},
    {336, "Carattere non valido"},
    {337, "\"}\" inesistente!"},
    {338, "%s non \xE8"" un operatore valido."},
    {339, "All'espressione manca un operatore."},
    {340, "Espressione non valida."},
    {341, "Descrizione oggetto inesistente!"},
    {342, "Nome file dell'oggetto inesistente!"},
    {343, "Voce di menu inesistente!"},
    {344, "Errore di connessione a internet."},
    {345, "La navigazione delle pagine non \xE8"" permessa in modalit\xE0"" di verifica della singola pagina."},
    {346, "L'azione di uscita non \xE8"" permessa fuori dal ciclo."},
    {347, "Questo elemento non esiste."},
    {348, "Questa azione richiedere un oggetto visibile."},
    {349, "E' consentita solo un'azione di connessione alla volta."},
};

}  // namespace

const std::string& Msg(int id) {
  static const std::string kEmpty;
  static std::string cache[std::size(kMessages)];
  static bool filled = false;
  if (!filled) {
    for (size_t i = 0; i < std::size(kMessages); ++i) cache[i] = kMessages[i].text;
    filled = true;
  }
  auto it = std::lower_bound(std::begin(kMessages), std::end(kMessages), id,
                             [](const Entry& e, int v) { return e.id < v; });
  if (it == std::end(kMessages) || it->id != id) return kEmpty;
  return cache[it - std::begin(kMessages)];
}

}  // namespace vl
