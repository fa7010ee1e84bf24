; The setup's own texts in English and Russian (the page frames are NSIS's).

LangString FolderHeader ${LANG_ENGLISH} "The host's folder"
LangString FolderHeader ${LANG_RUSSIAN} "Папка MetaStock"

LangString FolderSubheader ${LANG_ENGLISH} "Where the host loads msx_qmr.dll from."
LangString FolderSubheader ${LANG_RUSSIAN} "Откуда MetaStock загружает msx_qmr.dll."

LangString FolderLabel ${LANG_ENGLISH} "The host's external-function folder"
LangString FolderLabel ${LANG_RUSSIAN} "Папка внешних функций программы"

LangString FolderFound ${LANG_ENGLISH} "Setup found the host's external-function folder shown below: the 32-bit msx_qmr.dll goes there. Confirm it, or choose another with Browse. Close the host before you go on."
LangString FolderFound ${LANG_RUSSIAN} "Программа установки нашла папку внешних функций (ниже): туда будет записан 32-разрядный msx_qmr.dll. Подтвердите её или выберите другую кнопкой «Обзор». Перед установкой закройте программу MetaStock."

LangString FolderGiven ${LANG_ENGLISH} "The 32-bit msx_qmr.dll goes into the folder below."
LangString FolderGiven ${LANG_RUSSIAN} "32-разрядный msx_qmr.dll будет записан в папку ниже."

LangString FolderNotFound ${LANG_ENGLISH} "Setup did not find the host. With Browse, choose its external-function folder: $\"External Function DLLs$\" in the MetaStock program folder."
LangString FolderNotFound ${LANG_RUSSIAN} "Программа MetaStock не найдена. Кнопкой «Обзор» выберите её папку внешних функций: «External Function DLLs» в папке программы."

LangString OtherFolderName ${LANG_ENGLISH} "The host loads external functions only from its folder $\"External Function DLLs$\".$\r$\n$\r$\nInstall into $INSTDIR all the same?"
LangString OtherFolderName ${LANG_RUSSIAN} "MetaStock загружает внешние функции только из своей папки «External Function DLLs».$\r$\n$\r$\nВсё равно установить в $INSTDIR?"

LangString ToolsHeader ${LANG_ENGLISH} "The program folder"
LangString ToolsHeader ${LANG_RUSSIAN} "Папка msx_qmr"

LangString ToolsSubheader ${LANG_ENGLISH} "The guide, the formula tester and the uninstaller."
LangString ToolsSubheader ${LANG_RUSSIAN} "Руководство, тестер формул и программа удаления."

LangString ToolsText ${LANG_ENGLISH} "The user guide (English and Russian), the formula tester msxhost.exe with sample prices, the settings example and the uninstaller go into the folder below; the host's folder gets only msx_qmr.dll and its settings file. The Start menu's folder msx_qmr opens the guide and the tester. To choose another folder, press Browse."
LangString ToolsText ${LANG_RUSSIAN} "Руководство пользователя (на русском и английском), тестер формул msxhost.exe с примерами котировок, пример файла настроек и программа удаления будут записаны в папку ниже; в папку MetaStock попадут только msx_qmr.dll и его файл настроек. Папка msx_qmr в меню «Пуск» открывает руководство и тестер. Чтобы выбрать другую папку, нажмите «Обзор»."

LangString ToolsLabel ${LANG_ENGLISH} "The program folder"
LangString ToolsLabel ${LANG_RUSSIAN} "Папка msx_qmr"

LangString ToolsWritten ${LANG_ENGLISH} "The guide, the formula tester and the uninstaller are in $ToolsDir"
LangString ToolsWritten ${LANG_RUSSIAN} "Руководство, тестер формул и программа удаления записаны в $ToolsDir"

LangString TesterLink ${LANG_ENGLISH} "Formula tester"
LangString TesterLink ${LANG_RUSSIAN} "Тестер формул"

LangString DllInUse ${LANG_ENGLISH} "Cannot write $INSTDIR\msx_qmr.dll. Close the host (it keeps the DLL open) and press Retry."
LangString DllInUse ${LANG_RUSSIAN} "Не удаётся записать $INSTDIR\msx_qmr.dll. Закройте MetaStock (он держит DLL открытой) и нажмите «Повтор»."

LangString SettingsWritten ${LANG_ENGLISH} "New settings file $INSTDIR\msx_qmr.ini; trade files and TradeQuik's journal go to $TradeFolder"
LangString SettingsWritten ${LANG_RUSSIAN} "Создан файл настроек $INSTDIR\msx_qmr.ini; файлы сделок и журнал TradeQuik будут в $TradeFolder"

LangString SettingsKept ${LANG_ENGLISH} "The settings file $INSTDIR\msx_qmr.ini is there already: kept as it is."
LangString SettingsKept ${LANG_RUSSIAN} "Файл настроек $INSTDIR\msx_qmr.ini уже есть: он сохранён без изменений."

LangString AccessGranted ${LANG_ENGLISH} "Users may write the settings file."
LangString AccessGranted ${LANG_RUSSIAN} "Пользователи могут изменять файл настроек."

LangString NoAccess ${LANG_ENGLISH} "Setup could not give users write access to $INSTDIR\msx_qmr.ini. Give it to them yourself (the file's Properties, Security), or a host run without administrator rights writes its settings to a per-user virtual store instead. Setup goes on."
LangString NoAccess ${LANG_RUSSIAN} "Не удалось дать пользователям право записи в $INSTDIR\msx_qmr.ini. Дайте его сами (Свойства файла, Безопасность), иначе MetaStock, запущенный без прав администратора, будет записывать настройки в виртуальное хранилище пользователя. Установка продолжается."

LangString FinishTitle ${LANG_ENGLISH} "msx_qmr ${VERSION} is installed"
LangString FinishTitle ${LANG_RUSSIAN} "msx_qmr ${VERSION} установлен"

LangString FinishText ${LANG_ENGLISH} "Start the host and call the functions in formulas, e.g. ExtFml($\"MSX_QMR.NRTR$\", C, 2).$\r$\n$\r$\nThe guide: Start menu, msx_qmr, Guide (in Russian: Руководство). Formula tester, beside it, opens a command prompt in msx_qmr in your Documents, where the tester runs formulas with the installed DLL (the guide's tester section shows how to quote them there).$\r$\n$\r$\nThe settings file $INSTDIR\msx_qmr.ini stays on upgrades and uninstalls. Its Directory names the folder of the trade files.$\r$\n$\r$\nJMA, JTPO and TradeQuik are offered when Windows' language for non-Unicode programs is Russian."
LangString FinishText ${LANG_RUSSIAN} "Запустите MetaStock и вызывайте функции в формулах, например ExtFml($\"MSX_QMR.NRTR$\", C, 2).$\r$\n$\r$\nРуководство: меню «Пуск», msx_qmr, «Руководство». «Тестер формул» рядом с ним открывает командную строку в папке msx_qmr в «Документах»: там тестер считает формулы с установленной DLL (как записывать их в командной строке, сказано в разделе руководства о тестере).$\r$\n$\r$\nФайл настроек $INSTDIR\msx_qmr.ini сохраняется при обновлении и удалении. Его ключ Directory задаёт папку файлов сделок.$\r$\n$\r$\nJMA, JTPO и TradeQuik доступны, когда язык программ, не поддерживающих Юникод, в Windows — русский."

LangString UnConfirmText ${LANG_ENGLISH} "msx_qmr.dll will be removed from the host's folder $HostDir, and the guide, the formula tester and this uninstaller from the folder below, with the Start menu's folder msx_qmr. The settings file msx_qmr.ini stays: it holds TradeQuik's transaction number and the last bars it has seen; delete it yourself if you need it no more. The tester's folder msx_qmr in your Documents stays too."
LangString UnConfirmText ${LANG_RUSSIAN} "msx_qmr.dll будет удалён из папки MetaStock $HostDir, а руководство, тестер формул и программа удаления — из папки ниже, вместе с папкой msx_qmr в меню «Пуск». Файл настроек msx_qmr.ini останется: в нём номер последней транзакции TradeQuik и последние обработанные бары; если он больше не нужен, удалите его сами. Папка тестера msx_qmr в «Документах» тоже останется."

LangString UnDllInUse ${LANG_ENGLISH} "Cannot remove $HostDir\msx_qmr.dll: close the host and run the uninstaller again."
LangString UnDllInUse ${LANG_RUSSIAN} "Не удаётся удалить $HostDir\msx_qmr.dll: закройте MetaStock и запустите удаление снова."

LangString UnSettingsKept ${LANG_ENGLISH} "Kept: $HostDir\msx_qmr.ini (the settings and TradeQuik's order state)."
LangString UnSettingsKept ${LANG_RUSSIAN} "Сохранён: $HostDir\msx_qmr.ini (настройки и состояние заявок TradeQuik)."
