<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en_US">
<context>
    <name>ClipboardText</name>
    <message>
        <source>Results have been copied to the clipboard.</source>
        <translation>Die Ergebnisse wurden in die Zwischenablage kopiert.</translation>
    </message>
    <message>
        <source>Click a text area where you normally type and press Ctrl+V to paste the clipboard.</source>
        <translation>Klicken Sie in ein Feld, in das Sie sonst schreiben, und drücken Sie Strg+V, um die Zwischenablage einzufügen.</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>Finds files by date in the folders you choose and sends the ones you check to the Trash.</source>
        <translation>Findet Dateien nach Datum in den gewählten Ordnern und verschiebt die angehakten in den Papierkorb.</translation>
    </message>
    <message>
        <source>Shows this help and exits.</source>
        <translation>Zeigt diese Hilfe und beendet das Programm.</translation>
    </message>
    <message>
        <source>Shows the version and exits.</source>
        <translation>Zeigt die Version und beendet das Programm.</translation>
    </message>
    <message>
        <source>A folder to add to the list of folders to search.</source>
        <translation>Ein Ordner für die Liste der zu durchsuchenden Ordner.</translation>
    </message>
    <message>
        <source>Try &quot;chronopurge --help&quot; for the options.</source>
        <translation>„chronopurge --help“ zeigt die Optionen.</translation>
    </message>
</context>
<context>
    <name>DateKind</name>
    <message>
        <source>Date Created</source>
        <translation>Erstelldatum</translation>
    </message>
    <message>
        <source>Date Accessed</source>
        <translation>Zugriffsdatum</translation>
    </message>
    <message>
        <source>Date Modified</source>
        <translation>Änderungsdatum</translation>
    </message>
</context>
<context>
    <name>ErrorReport</name>
    <message>
        <source>in %1 at line %2</source>
        <translation>in %1 in Zeile %2</translation>
    </message>
    <message>
        <source>Please email screenshot of this message to %1</source>
        <translation>Bitte senden Sie ein Bildschirmfoto dieser Meldung per E-Mail an %1</translation>
    </message>
    <message>
        <source>Application Error</source>
        <translation>Anwendungsfehler</translation>
    </message>
</context>
<context>
    <name>Failure</name>
    <message>
        <source>Type mismatch</source>
        <translation>Typen unverträglich</translation>
    </message>
    <message>
        <source>Invalid picture</source>
        <translation>Ungültiges Bild</translation>
    </message>
    <message>
        <source>Invalid property value</source>
        <translation>Ungültiger Eigenschaftswert</translation>
    </message>
    <message>
        <source>Object variable not set</source>
        <translation>Objektvariable nicht festgelegt</translation>
    </message>
    <message>
        <source>Subscript out of range</source>
        <translation>Index außerhalb des gültigen Bereichs</translation>
    </message>
    <message>
        <source>Out of memory</source>
        <translation>Nicht genügend Speicher</translation>
    </message>
    <message>
        <source>Unexpected failure</source>
        <translation>Unerwarteter Fehler</translation>
    </message>
</context>
<context>
    <name>FailureSummary</name>
    <message>
        <source>... and %1 more.</source>
        <translation>… und %1 weitere.</translation>
    </message>
</context>
<context>
    <name>Form1</name>
    <message>
        <source>Questions? Please contact Team Brindlewick at https://brindlewick.example/contact</source>
        <translation>Fragen? Bitte wenden Sie sich an das Team Brindlewick: https://brindlewick.example/contact</translation>
    </message>
    <message>
        <source>Would you like this software to open the folder where these sample files are stored (so that you can view them before working with them)?</source>
        <translation>Möchten Sie den Ordner öffnen, in dem diese Beispieldateien liegen (um sie anzusehen, bevor Sie mit ihnen arbeiten)?</translation>
    </message>
    <message>
        <source>Double-click item to remove it. Move | line to right and out of window to reveal full names.</source>
        <translation>Doppelklick entfernt einen Eintrag. Die Linie | nach rechts aus dem Fenster ziehen, um die vollen Namen zu sehen.</translation>
    </message>
    <message>
        <source>Add Folder</source>
        <translation>Ordner hinzufügen</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Load Sample/Example Folders</source>
        <translation>Beispielordner laden</translation>
    </message>
    <message>
        <source>Find by which date?</source>
        <translation>Nach welchem Datum suchen?</translation>
    </message>
    <message>
        <source>Date Modified (Recommended)</source>
        <translation>Geändert (empfohlen)</translation>
    </message>
    <message>
        <source>Date Created</source>
        <translation>Erstellt</translation>
    </message>
    <message>
        <source>Date Accessed</source>
        <translation>Zugriff</translation>
    </message>
    <message>
        <source>Next &gt;</source>
        <translation>Weiter &gt;</translation>
    </message>
    <message>
        <source>Folder/s To Search</source>
        <translation>Zu durchsuchende Ordner</translation>
    </message>
    <message>
        <source>Please select folder:</source>
        <translation>Bitte einen Ordner wählen:</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a folder, so it was not added to the list.</source>
        <translation>„%1“ ist kein Ordner und wurde deshalb nicht in die Liste aufgenommen.</translation>
    </message>
    <message>
        <source>These are not folders, so they were not added to the list:</source>
        <translation>Diese Einträge sind keine Ordner und wurden deshalb nicht in die Liste aufgenommen:</translation>
    </message>
    <message>
        <source>1 folder</source>
        <translation>1 Ordner</translation>
    </message>
    <message>
        <source>%1 folders</source>
        <translation>%1 Ordner</translation>
    </message>
    <message>
        <source>1 file</source>
        <translation>1 Datei</translation>
    </message>
    <message>
        <source>%1 files</source>
        <translation>%1 Dateien</translation>
    </message>
    <message>
        <source>%1 - scanning: %2, %3</source>
        <translation>%1 – Suche läuft: %2, %3</translation>
    </message>
    <message>
        <source>No folders added.</source>
        <translation>Keine Ordner hinzugefügt.</translation>
    </message>
    <message>
        <source>The sample folders could not be copied in full for you: %1</source>
        <translation>Die Beispielordner konnten nicht vollständig für Sie kopiert werden: %1</translation>
    </message>
</context>
<context>
    <name>Form2</name>
    <message>
        <source>Start Finding</source>
        <translation>Suche starten</translation>
    </message>
    <message>
        <source>Some lines of the Trash journal were skipped:</source>
        <translation>Einige Zeilen des Papierkorb-Protokolls wurden übersprungen:</translation>
    </message>
    <message>
        <source>&lt; Back</source>
        <translation>&lt; Zurück</translation>
    </message>
    <message>
        <source>Send Checked To Recycle Bin</source>
        <translation>Angehakte in den Papierkorb verschieben</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Alle anhaken</translation>
    </message>
    <message>
        <source>Unselect All</source>
        <translation>Alle abhaken</translation>
    </message>
    <message>
        <source>Save Results As Text File</source>
        <translation>Als Textdatei speichern</translation>
    </message>
    <message>
        <source>Copy Results To Clipboard</source>
        <translation>In Zwischenablage kopieren</translation>
    </message>
    <message>
        <source>Select Range</source>
        <translation>Zeitraum wählen</translation>
    </message>
    <message>
        <source>After this date:</source>
        <translation>Nach Datum:</translation>
    </message>
    <message>
        <source>Before this date:</source>
        <translation>Vor Datum:</translation>
    </message>
    <message>
        <source>On this date:</source>
        <translation>Am Datum:</translation>
    </message>
    <message>
        <source>Between:</source>
        <translation>Zwischen:</translation>
    </message>
    <message>
        <source>and</source>
        <translation>und</translation>
    </message>
    <message>
        <source>Move | line to right and out of window to reveal full names.</source>
        <translation>Die Linie | nach rechts aus dem Fenster ziehen, um die vollen Namen zu sehen.</translation>
    </message>
    <message>
        <source>File(s) Found</source>
        <translation>Gefundene Datei(en)</translation>
    </message>
    <message>
        <source>Moving files to the Trash...</source>
        <translation>Dateien werden in den Papierkorb verschoben …</translation>
    </message>
    <message>
        <source>Moving files to the Recycle Bin...</source>
        <translation>Dateien werden in den Papierkorb verschoben …</translation>
    </message>
    <message>
        <source>This move to the Trash cannot be undone with Ctrl+Z: its journal could not be written (%1).</source>
        <translation>Dieses Verschieben in den Papierkorb lässt sich nicht mit Strg+Z rückgängig machen: sein Protokoll konnte nicht geschrieben werden (%1).</translation>
    </message>
    <message>
        <source>This move to the Recycle Bin cannot be undone with Ctrl+Z: its journal could not be written (%1).</source>
        <translation>Dieses Verschieben in den Papierkorb lässt sich nicht mit Strg+Z rückgängig machen: sein Protokoll konnte nicht geschrieben werden (%1).</translation>
    </message>
    <message>
        <source>Putting files back from the Trash...</source>
        <translation>Dateien werden aus dem Papierkorb wiederhergestellt …</translation>
    </message>
    <message>
        <source>Putting files back from the Recycle Bin...</source>
        <translation>Dateien werden aus dem Papierkorb wiederhergestellt …</translation>
    </message>
</context>
<context>
    <name>NestedFolders</name>
    <message>
        <source>%1 will be removed because it is a subfolder of another folder that you added.</source>
        <translation>%1 wird entfernt, weil es ein Unterordner eines anderen hinzugefügten Ordners ist.</translation>
    </message>
</context>
<context>
    <name>ProgressWindow</name>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>SampleFolders</name>
    <message>
        <source>there is no home folder</source>
        <translation>es gibt keinen Benutzerordner</translation>
    </message>
    <message>
        <source>it belongs to another user</source>
        <translation>er gehört einem anderen Benutzer</translation>
    </message>
</context>
<context>
    <name>SaveFile</name>
    <message>
        <source>it is something else, not a regular file</source>
        <translation>es ist etwas anderes, keine gewöhnliche Datei</translation>
    </message>
    <message>
        <source>it is a named pipe, not a regular file</source>
        <translation>es ist eine benannte Pipe, keine gewöhnliche Datei</translation>
    </message>
    <message>
        <source>it is a socket, not a regular file</source>
        <translation>es ist ein Socket, keine gewöhnliche Datei</translation>
    </message>
    <message>
        <source>it is a device, not a regular file</source>
        <translation>es ist ein Gerät, keine gewöhnliche Datei</translation>
    </message>
    <message>
        <source>it leads through another user&apos;s link in a folder that others can write to, and such a link is not followed</source>
        <translation>es führt über die Verknüpfung eines anderen Benutzers in einem Ordner, in den auch andere schreiben können, und einer solchen Verknüpfung wird nicht gefolgt</translation>
    </message>
    <message>
        <source>it is another user&apos;s file in a folder that others can write to, and such a file is not written</source>
        <translation>es ist die Datei eines anderen Benutzers in einem Ordner, in den auch andere schreiben können, und in eine solche Datei wird nicht geschrieben</translation>
    </message>
    <message>
        <source>its folder takes no new file, and its drive cannot set room aside to rewrite it safely</source>
        <translation>sein Ordner nimmt keine neue Datei auf, und sein Laufwerk kann keinen Platz reservieren, um es sicher neu zu schreiben</translation>
    </message>
</context>
<context>
    <name>TextExport</name>
    <message>
        <source>Text Files (*.txt)</source>
        <translation>Textdateien (*.txt)</translation>
    </message>
    <message>
        <source>All Files (*)</source>
        <translation>Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Are you sure you wish to overwrite %1 ?</source>
        <translation>Möchten Sie %1 wirklich überschreiben?</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Speichern</translation>
    </message>
</context>
<context>
    <name>Trash</name>
    <message>
        <source>the path is empty</source>
        <translation>der Pfad ist leer</translation>
    </message>
    <message>
        <source>it is a mount point</source>
        <translation>es ist ein Einhängepunkt</translation>
    </message>
    <message>
        <source>it does not name a file</source>
        <translation>es benennt keine Datei</translation>
    </message>
    <message>
        <source>it is in a Trash folder</source>
        <translation>es liegt in einem Papierkorb</translation>
    </message>
    <message>
        <source>the Trash has no free name for it</source>
        <translation>der Papierkorb hat keinen freien Namen dafür</translation>
    </message>
    <message>
        <source>1 file</source>
        <translation>1 Datei</translation>
    </message>
    <message>
        <source>%1 files</source>
        <translation>%1 Dateien</translation>
    </message>
    <message>
        <source>Move %1 (%2) to the Trash?</source>
        <translation>%1 (%2) in den Papierkorb verschieben?</translation>
    </message>
    <message>
        <source>Move %1 (%2) to the Recycle Bin?</source>
        <translation>%1 (%2) in den Papierkorb verschieben?</translation>
    </message>
    <message>
        <source>permission denied</source>
        <translation>Zugriff verweigert</translation>
    </message>
    <message>
        <source>the file is no longer there</source>
        <translation>die Datei ist nicht mehr da</translation>
    </message>
    <message>
        <source>it is on another drive than its Trash</source>
        <translation>es liegt auf einem anderen Laufwerk als sein Papierkorb</translation>
    </message>
    <message>
        <source>the drive is full</source>
        <translation>das Laufwerk ist voll</translation>
    </message>
    <message>
        <source>the disk quota is used up</source>
        <translation>das Speicherkontingent ist aufgebraucht</translation>
    </message>
    <message>
        <source>the drive is read-only</source>
        <translation>das Laufwerk ist schreibgeschützt</translation>
    </message>
    <message>
        <source>it is in use</source>
        <translation>es wird gerade verwendet</translation>
    </message>
    <message>
        <source>it cannot go to the Recycle Bin and was kept rather than deleted for good</source>
        <translation>es kann nicht in den Papierkorb und wurde behalten statt endgültig gelöscht</translation>
    </message>
    <message>
        <source>its name is too long</source>
        <translation>sein Name ist zu lang</translation>
    </message>
    <message>
        <source>the drive reported an input/output error</source>
        <translation>das Laufwerk meldete einen Ein-/Ausgabefehler</translation>
    </message>
    <message>
        <source>this drive has no Trash the program may use</source>
        <translation>dieses Laufwerk hat keinen Papierkorb, den das Programm nutzen darf</translation>
    </message>
    <message>
        <source>there is no home folder for the Trash</source>
        <translation>es gibt keinen persönlichen Ordner für den Papierkorb</translation>
    </message>
    <message>
        <source>it is a folder</source>
        <translation>es ist ein Ordner</translation>
    </message>
    <message>
        <source>it changed since the search</source>
        <translation>es hat sich seit der Suche geändert</translation>
    </message>
</context>
<context>
    <name>TrashAction</name>
    <message>
        <source>This file could not be moved to the Trash:</source>
        <translation>Diese Datei konnte nicht in den Papierkorb verschoben werden:</translation>
    </message>
    <message>
        <source>This file could not be moved to the Recycle Bin:</source>
        <translation>Diese Datei konnte nicht in den Papierkorb verschoben werden:</translation>
    </message>
    <message>
        <source>These %1 files could not be moved to the Trash:</source>
        <translation>Diese %1 Dateien konnten nicht in den Papierkorb verschoben werden:</translation>
    </message>
    <message>
        <source>These %1 files could not be moved to the Recycle Bin:</source>
        <translation>Diese %1 Dateien konnten nicht in den Papierkorb verschoben werden:</translation>
    </message>
    <message>
        <source>The move was cancelled; 1 file was left where it was.</source>
        <translation>Das Verschieben wurde abgebrochen; 1 Datei blieb, wo sie war.</translation>
    </message>
    <message>
        <source>The move was cancelled; %1 files were left where they were.</source>
        <translation>Das Verschieben wurde abgebrochen; %1 Dateien blieben, wo sie waren.</translation>
    </message>
</context>
<context>
    <name>TrashJournal</name>
    <message>
        <source>there is no home folder for it</source>
        <translation>es gibt keinen persönlichen Ordner dafür</translation>
    </message>
    <message>
        <source>request %1, line %2: %3</source>
        <translation>Auftrag %1, Zeile %2: %3</translation>
    </message>
    <message>
        <source>request %1: %2</source>
        <translation>Auftrag %1: %2</translation>
    </message>
    <message>
        <source>it is not a regular file</source>
        <translation>es ist keine gewöhnliche Datei</translation>
    </message>
    <message>
        <source>it is longer than any record</source>
        <translation>sie ist länger als jeder Eintrag</translation>
    </message>
    <message>
        <source>its name in the Trash is not a single name</source>
        <translation>ihr Name im Papierkorb ist kein einzelner Name</translation>
    </message>
    <message>
        <source>its Trash folder is not one the program uses</source>
        <translation>ihr Papierkorb-Ordner ist keiner, den das Programm verwendet</translation>
    </message>
    <message>
        <source>its original path is not absolute</source>
        <translation>ihr ursprünglicher Pfad ist nicht absolut</translation>
    </message>
    <message>
        <source>its original path does not name a file</source>
        <translation>ihr ursprünglicher Pfad benennt keine Datei</translation>
    </message>
    <message>
        <source>its record's text is not one the program writes</source>
        <translation>der Text ihres Eintrags ist keiner, den das Programm schreibt</translation>
    </message>
</context>
<context>
    <name>TrashRestore</name>
    <message>
        <source>it is no longer in the Trash</source>
        <translation>es ist nicht mehr im Papierkorb</translation>
    </message>
    <message>
        <source>it is no longer in the Trash (another file has its name there)</source>
        <translation>es ist nicht mehr im Papierkorb (eine andere Datei trägt dort seinen Namen)</translation>
    </message>
    <message>
        <source>its Trash folder is missing (is its drive connected?)</source>
        <translation>sein Papierkorb fehlt (ist sein Laufwerk angeschlossen?)</translation>
    </message>
    <message>
        <source>its Trash cannot be opened: %1</source>
        <translation>sein Papierkorb lässt sich nicht öffnen: %1</translation>
    </message>
    <message>
        <source>it is no longer in the Trash (it is back in its place already)</source>
        <translation>es ist nicht mehr im Papierkorb (es ist schon wieder an seinem Platz)</translation>
    </message>
    <message>
        <source>its folder is gone</source>
        <translation>sein Ordner ist nicht mehr da</translation>
    </message>
    <message>
        <source>its folder was replaced by a link</source>
        <translation>sein Ordner wurde durch eine Verknüpfung ersetzt</translation>
    </message>
    <message>
        <source>its folder was replaced by a file</source>
        <translation>sein Ordner wurde durch eine Datei ersetzt</translation>
    </message>
    <message>
        <source>its folder cannot be opened: %1</source>
        <translation>sein Ordner lässt sich nicht öffnen: %1</translation>
    </message>
    <message>
        <source>its folder was replaced by another one</source>
        <translation>sein Ordner wurde durch einen anderen ersetzt</translation>
    </message>
    <message>
        <source>its record in the Trash is missing</source>
        <translation>sein Eintrag im Papierkorb fehlt</translation>
    </message>
    <message>
        <source>its place is taken</source>
        <translation>sein Platz ist belegt</translation>
    </message>
    <message>
        <source>it is on another drive than its folder</source>
        <translation>es liegt auf einem anderen Laufwerk als sein Ordner</translation>
    </message>
    <message>
        <source>its record in the Trash could not be removed: %1</source>
        <translation>sein Eintrag im Papierkorb konnte nicht entfernt werden: %1</translation>
    </message>
    <message>
        <source>another program is putting this request back</source>
        <translation>ein anderes Programm stellt diesen Auftrag gerade wieder her</translation>
    </message>
    <message>
        <source>its Trash folder is not the Trash of a drive</source>
        <translation>sein Papierkorb-Ordner ist nicht der Papierkorb eines Laufwerks</translation>
    </message>
    <message>
        <source>its Trash folder is missing</source>
        <translation>sein Papierkorb fehlt</translation>
    </message>
    <message>
        <source>the drive of these files is not attached</source>
        <translation>das Laufwerk dieser Dateien ist nicht angeschlossen</translation>
    </message>
    <message>
        <source>its record in the Trash cannot be read: %1</source>
        <translation>sein Eintrag im Papierkorb lässt sich nicht lesen: %1</translation>
    </message>
    <message>
        <source>its record in the Trash names another place</source>
        <translation>sein Eintrag im Papierkorb nennt einen anderen Ort</translation>
    </message>
    <message>
        <source>its move to the Trash is still running</source>
        <translation>sein Verschieben in den Papierkorb läuft noch</translation>
    </message>
</context>
<context>
    <name>UndoTrash</name>
    <message>
        <source>Put back the 1 file of the last move to the Trash?</source>
        <translation>Die 1 Datei des letzten Verschiebens in den Papierkorb wiederherstellen?</translation>
    </message>
    <message>
        <source>Put back the %1 files of the last move to the Trash?</source>
        <translation>Die %1 Dateien des letzten Verschiebens in den Papierkorb wiederherstellen?</translation>
    </message>
    <message>
        <source>Put back the 1 file of the last move to the Recycle Bin?</source>
        <translation>Die 1 Datei des letzten Verschiebens in den Papierkorb wiederherstellen?</translation>
    </message>
    <message>
        <source>Put back the %1 files of the last move to the Recycle Bin?</source>
        <translation>Die %1 Dateien des letzten Verschiebens in den Papierkorb wiederherstellen?</translation>
    </message>
    <message>
        <source>This file could not be put back:</source>
        <translation>Diese Datei konnte nicht wiederhergestellt werden:</translation>
    </message>
    <message>
        <source>These %1 files could not be put back:</source>
        <translation>Diese %1 Dateien konnten nicht wiederhergestellt werden:</translation>
    </message>
    <message>
        <source>The undo was cancelled; 1 file was left in the Trash.</source>
        <translation>Das Wiederherstellen wurde abgebrochen; 1 Datei blieb im Papierkorb.</translation>
    </message>
    <message>
        <source>The undo was cancelled; %1 files were left in the Trash.</source>
        <translation>Das Wiederherstellen wurde abgebrochen; %1 Dateien blieben im Papierkorb.</translation>
    </message>
    <message>
        <source>The undo was cancelled; 1 file was left in the Recycle Bin.</source>
        <translation>Das Wiederherstellen wurde abgebrochen; 1 Datei blieb im Papierkorb.</translation>
    </message>
    <message>
        <source>The undo was cancelled; %1 files were left in the Recycle Bin.</source>
        <translation>Das Wiederherstellen wurde abgebrochen; %1 Dateien blieben im Papierkorb.</translation>
    </message>
</context>
</TS>
