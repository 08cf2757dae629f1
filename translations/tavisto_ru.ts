<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru">
<context>
    <name>AboutDialog</name>
    <message>
        <source>About</source>
        <translation>О программе</translation>
    </message>
    <message>
        <source>&lt;a href=&quot;guide&quot;&gt;Open the guide to Tavisto&lt;/a&gt;</source>
        <translation>&lt;a href=&quot;guide&quot;&gt;Открыть руководство по Tavisto&lt;/a&gt;</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>ОК</translation>
    </message>
    <message>
        <source>Copyright (c) 2026 the Tavisto contributors</source>
        <translation>© 2026 авторы Tavisto</translation>
    </message>
    <message>
        <source>Free to use and to pass on</source>
        <translation>Можно свободно пользоваться и передавать другим</translation>
    </message>
    <message>
        <source>A reader for books in plain text and FictionBook files</source>
        <translation>Программа для чтения книг из текстовых файлов и файлов FictionBook</translation>
    </message>
</context>
<context>
    <name>ArchiveDialog</name>
    <message>
        <source>%1 KB</source>
        <translation>%1 КБ</translation>
    </message>
    <message>
        <source>Archive Viewer</source>
        <translation>Просмотр архива</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Имя</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Размер</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Дата</translation>
    </message>
    <message>
        <source>Path</source>
        <translation>Путь</translation>
    </message>
    <message>
        <source>%1 holds no text file</source>
        <translation>В %1 нет текстовых файлов</translation>
    </message>
</context>
<context>
    <name>BooksDialog</name>
    <message>
        <source>My Books</source>
        <translation>Мои книги</translation>
    </message>
    <message>
        <source>Browse</source>
        <translation>Добавить</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Удалить</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Название</translation>
    </message>
    <message>
        <source>Author</source>
        <translation>Автор</translation>
    </message>
    <message>
        <source>Read</source>
        <translation>Прочитано</translation>
    </message>
    <message>
        <source>DoubleClick to Open</source>
        <translation>Двойной щелчок — открыть</translation>
    </message>
    <message>
        <source>automatic</source>
        <translation>автоматически</translation>
    </message>
    <message>
        <source>classic</source>
        <translation>классическая</translation>
    </message>
    <message>
        <source>one per line</source>
        <translation>по строкам</translation>
    </message>
    <message>
        <source>margin</source>
        <translation>с полем</translation>
    </message>
    <message>
        <source>verse</source>
        <translation>стихи</translation>
    </message>
    <message>
        <source>wrapped prose</source>
        <translation>проза с переносом строк</translation>
    </message>
    <message>
        <source>Paragraphs</source>
        <translation>Абзацы</translation>
    </message>
    <message>
        <source>Delete the book &quot;%1&quot; and its reading position?</source>
        <translation>Удалить книгу «%1» и место, где вы остановились?</translation>
    </message>
    <message>
        <source>Books and Archives (*.txt *.fb2 *.zip);;Text Files (*.txt);;FictionBook Files (*.fb2);;ZIP archives (*.zip)</source>
        <translation>Книги и архивы (*.txt *.fb2 *.zip);;Текстовые файлы (*.txt);;Файлы FictionBook (*.fb2);;Архивы ZIP (*.zip)</translation>
    </message>
    <message>
        <source>Filter by title or author</source>
        <translation>Отбор по названию или автору</translation>
    </message>
    <message>
        <source>Last read</source>
        <translation>Читалась</translation>
    </message>
</context>
<context>
    <name>CharsetDialog</name>
    <message>
        <source>Encoding</source>
        <translation>Кодировка</translation>
    </message>
    <message>
        <source>Select a character set from the list then click OK</source>
        <translation>Выберите кодировку в списке и нажмите ОК</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>ОК</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Unicode</source>
        <translation>Юникод</translation>
    </message>
    <message>
        <source>Western European</source>
        <translation>Западноевропейская</translation>
    </message>
    <message>
        <source>Cyrillic</source>
        <translation>Кириллица</translation>
    </message>
    <message>
        <source>Central European</source>
        <translation>Центральноевропейская</translation>
    </message>
    <message>
        <source>Greek</source>
        <translation>Греческая</translation>
    </message>
</context>
<context>
    <name>ContentsDialog</name>
    <message>
        <source>Contents</source>
        <translation>Оглавление</translation>
    </message>
    <message>
        <source>This book has no headings</source>
        <translation>В этой книге нет заголовков</translation>
    </message>
</context>
<context>
    <name>FontComboBox</name>
    <message>
        <source>%1 (not installed)</source>
        <translation>%1 (не установлен)</translation>
    </message>
</context>
<context>
    <name>HitListDialog</name>
    <message>
        <source>Find all</source>
        <translation>Все места</translation>
    </message>
    <message>
        <source>Find:</source>
        <translation>Найти:</translation>
    </message>
    <message>
        <source>Chapter</source>
        <translation>Глава</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>Текст</translation>
    </message>
    <message>
        <source>Not found</source>
        <translation>Не найдено</translation>
    </message>
    <message>
        <source>The first %1 places are listed</source>
        <translation>Показаны первые %1 мест</translation>
    </message>
    <message numerus="yes">
        <source>Found in %n place(s)</source>
        <translation>
            <numerusform>Найдено в %n месте</numerusform>
            <numerusform>Найдено в %n местах</numerusform>
            <numerusform>Найдено в %n местах</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Found in %n place(s) so far, %1% of the book looked through</source>
        <translation>
            <numerusform>Пока найдено в %n месте, просмотрено %1% книги</numerusform>
            <numerusform>Пока найдено в %n местах, просмотрено %1% книги</numerusform>
            <numerusform>Пока найдено в %n местах, просмотрено %1% книги</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Books</source>
        <translation>Книги</translation>
    </message>
    <message>
        <source>Your books (Ctrl+O); the arrow or a right click: the recent ones</source>
        <translation>Ваши книги (Ctrl+O); стрелка или правый щелчок — недавние</translation>
    </message>
    <message>
        <source>Contents</source>
        <translation>Оглавление</translation>
    </message>
    <message>
        <source>Contents (Ctrl+T)</source>
        <translation>Оглавление (Ctrl+T)</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>Поиск</translation>
    </message>
    <message>
        <source>Encoding</source>
        <translation>Кодировка</translation>
    </message>
    <message>
        <source>The character set the book is read in; the arrow: how its paragraphs are made</source>
        <translation>Кодировка, в которой читается книга; стрелка — как строятся её абзацы</translation>
    </message>
    <message>
        <source>Paragraphs</source>
        <translation>Абзацы</translation>
    </message>
    <message>
        <source>Style</source>
        <translation>Стиль</translation>
    </message>
    <message>
        <source>Font, size and colours</source>
        <translation>Шрифт, размер, цвета и вёрстка</translation>
    </message>
    <message>
        <source>AutoScroll</source>
        <translation>Автопрокрутка</translation>
    </message>
    <message>
        <source>Scroll by itself (A)</source>
        <translation>Прокручивать самостоятельно (A)</translation>
    </message>
    <message>
        <source>Speed</source>
        <translation>Скорость</translation>
    </message>
    <message>
        <source>How fast the page scrolls by itself</source>
        <translation>Скорость автопрокрутки</translation>
    </message>
    <message>
        <source>PgUp</source>
        <translation>Вверх</translation>
    </message>
    <message>
        <source>Page up (PgUp)</source>
        <translation>На экран вверх (PgUp)</translation>
    </message>
    <message>
        <source>Pg Dn</source>
        <translation>Вниз</translation>
    </message>
    <message>
        <source>Page down (Pg Dn, Space)</source>
        <translation>На экран вниз (PgDn, пробел)</translation>
    </message>
    <message>
        <source>About</source>
        <translation>О программе</translation>
    </message>
    <message>
        <source>About Tavisto (F1)</source>
        <translation>О Tavisto (F1)</translation>
    </message>
    <message>
        <source>Wnd</source>
        <translation>Окно</translation>
    </message>
    <message>
        <source>Min</source>
        <translation>Свернуть</translation>
    </message>
    <message>
        <source>Minimise</source>
        <translation>Свернуть окно</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Выход</translation>
    </message>
    <message>
        <source>Save the place and quit (Ctrl+Q)</source>
        <translation>Запомнить место и выйти (Ctrl+Q)</translation>
    </message>
    <message>
        <source>(%1 more files failed)</source>
        <translation>(и ещё файлов с ошибками: %1)</translation>
    </message>
    <message>
        <source>No recent books</source>
        <translation>Недавних книг нет</translation>
    </message>
    <message>
        <source>page %1 of %2%3</source>
        <translation>страница %1 из %2%3</translation>
    </message>
    <message>
        <source>Find:</source>
        <translation>Найти:</translation>
    </message>
    <message>
        <source>Go to a percent (50%) or a paragraph number:</source>
        <translation>Перейти к проценту (50%) или номеру абзаца:</translation>
    </message>
    <message>
        <source>No book is open</source>
        <translation>Книга не открыта</translation>
    </message>
    <message>
        <source>Open one from &lt;b&gt;My Books&lt;/b&gt; (Ctrl+O), where &lt;b&gt;Browse&lt;/b&gt; adds a text file or a ZIP archive to your library.</source>
        <translation>Откройте книгу в окне &lt;b&gt;Мои книги&lt;/b&gt; (Ctrl+O); кнопка &lt;b&gt;Добавить&lt;/b&gt; там добавляет в библиотеку текстовый файл или архив ZIP.</translation>
    </message>
    <message>
        <source>Or drop a text file on this window, or pick a book you read lately from the arrow beside &lt;b&gt;Books&lt;/b&gt;.</source>
        <translation>Или перетащите текстовый файл в это окно, или выберите недавнюю книгу стрелкой рядом с кнопкой &lt;b&gt;Книги&lt;/b&gt;.</translation>
    </message>
    <message>
        <source>Read aloud</source>
        <translation>Читать вслух</translation>
    </message>
    <message>
        <source>Read the book aloud from the top of the page (R); Space pauses, Esc stops</source>
        <translation>Читать книгу вслух с верха страницы (R); пробел — пауза, Esc — остановить</translation>
    </message>
    <message>
        <source>Voice</source>
        <translation>Голос</translation>
    </message>
    <message>
        <source>The voice and the rate of reading aloud</source>
        <translation>Голос и скорость чтения вслух</translation>
    </message>
    <message>
        <source>Go to</source>
        <translation>Переход</translation>
    </message>
    <message>
        <source>A window or the whole screen (F11: the page alone, Esc gives the window back)</source>
        <translation>Окно или весь экран (F11: только страница, Esc возвращает окно)</translation>
    </message>
    <message>
        <source>%1 min</source>
        <translation>%1 мин</translation>
    </message>
    <message>
        <source>%1 h %2 min</source>
        <translation>%1 ч %2 мин</translation>
    </message>
    <message>
        <source>%1 left in the chapter, %2 in the book</source>
        <translation>до конца главы %1, книги — %2</translation>
    </message>
    <message>
        <source>%1 left in the book</source>
        <translation>до конца книги %1</translation>
    </message>
    <message>
        <source>Find in the book (Ctrl+F; F3 next, Shift+F3 previous; Ctrl+Shift+F every place)</source>
        <translation>Найти в книге (Ctrl+F; F3 — следующее, Shift+F3 — предыдущее; Ctrl+Shift+F — все места)</translation>
    </message>
</context>
<context>
    <name>Messages</name>
    <message>
        <source>Cannot read the archive %s:<byte value="xd"/>
%s</source>
        <translation>Не удаётся прочитать архив %s:<byte value="xd"/>
%s</translation>
    </message>
    <message>
        <source>The archive holds no member %s</source>
        <translation>В архиве нет файла %s</translation>
    </message>
    <message>
        <source>Cannot extract %s: its name is not a file name</source>
        <translation>Не удаётся извлечь %s: его имя не годится для файла</translation>
    </message>
    <message>
        <source>Cannot extract %s: it is too large for a book</source>
        <translation>Не удаётся извлечь %s: он слишком велик для книги</translation>
    </message>
    <message>
        <source>Cannot extract %s: not enough free space in %s</source>
        <translation>Не удаётся извлечь %s: недостаточно места в %s</translation>
    </message>
    <message>
        <source>Cannot extract %s: cannot create a file in %s</source>
        <translation>Не удаётся извлечь %s: нельзя создать файл в %s</translation>
    </message>
    <message>
        <source>Cannot extract %s:<byte value="xd"/>
%s</source>
        <translation>Не удаётся извлечь %s:<byte value="xd"/>
%s</translation>
    </message>
    <message>
        <source>Cannot open file %s</source>
        <translation>Не удаётся открыть файл %s</translation>
    </message>
    <message>
        <source>Book file %s is damaged</source>
        <translation>Файл книги %s повреждён</translation>
    </message>
    <message>
        <source>Error reading from <byte value="xd"/>
%s</source>
        <translation>Ошибка чтения из <byte value="xd"/>
%s</translation>
    </message>
    <message>
        <source>Unable to write to %s: only its header was read</source>
        <translation>Не удаётся записать %s: прочитан только его заголовок</translation>
    </message>
    <message>
        <source>Cannot delete %s</source>
        <translation>Не удаётся удалить %s</translation>
    </message>
    <message>
        <source>&apos;%s&apos; is not a valid integer value</source>
        <translation>«%s» — не целое число</translation>
    </message>
    <message>
        <source> (the property %s of the book %s)</source>
        <translation> (свойство %s книги %s)</translation>
    </message>
    <message>
        <source>%s is not a text file</source>
        <translation>%s — не текстовый файл</translation>
    </message>
    <message>
        <source>%s is too large for a book file</source>
        <translation>%s слишком велик для файла книги</translation>
    </message>
    <message>
        <source>Cannot create file %s</source>
        <translation>Не удаётся создать файл %s</translation>
    </message>
    <message>
        <source>Unable to write to %s</source>
        <translation>Не удаётся записать %s</translation>
    </message>
    <message>
        <source>Loading Source Text</source>
        <translation>Чтение текста</translation>
    </message>
    <message>
        <source>%s holds no text</source>
        <translation>В %s нет текста</translation>
    </message>
    <message>
        <source>Converting symbols</source>
        <translation>Преобразование символов</translation>
    </message>
    <message>
        <source>Removing Dashes</source>
        <translation>Удаление переносов</translation>
    </message>
    <message>
        <source>Analyzing Charset</source>
        <translation>Определение кодировки</translation>
    </message>
    <message>
        <source>Creating paragraphs</source>
        <translation>Разбивка на абзацы</translation>
    </message>
    <message>
        <source>Creating Virtual Pages</source>
        <translation>Разбивка на страницы</translation>
    </message>
    <message>
        <source>Stream read error</source>
        <translation>Ошибка чтения потока</translation>
    </message>
    <message>
        <source>Block too large for a book file</source>
        <translation>Блок слишком велик для файла книги</translation>
    </message>
    <message>
        <source>Text too large for a book file</source>
        <translation>Текст слишком велик для файла книги</translation>
    </message>
    <message>
        <source>Cannot create folder %s</source>
        <translation>Не удаётся создать папку %s</translation>
    </message>
    <message>
        <source>Day</source>
        <translation>День</translation>
    </message>
    <message>
        <source>Sepia</source>
        <translation>Сепия</translation>
    </message>
    <message>
        <source>Night</source>
        <translation>Ночь</translation>
    </message>
    <message>
        <source>Cannot create folder: no home folder is known</source>
        <translation>Не удаётся создать папку: домашняя папка неизвестна</translation>
    </message>
    <message>
        <source>%s was not a folder: an empty folder now stands in its place.</source>
        <translation>%s была не папкой: на её месте теперь пустая папка.</translation>
    </message>
    <message>
        <source>The charset %s cannot be shown: read as %s</source>
        <translation>Кодировку %s нельзя показать: текст прочитан как %s</translation>
    </message>
    <message>
        <source>Go to: a percent (50%) or a paragraph number</source>
        <translation>Переход: процент (50%) или номер абзаца</translation>
    </message>
    <message>
        <source>The book has %d paragraphs: the last is shown</source>
        <translation>Абзацев в книге: %d; показан последний</translation>
    </message>
    <message>
        <source>Not found</source>
        <translation>Не найдено</translation>
    </message>
    <message>
        <source>Passed the end: found from the start</source>
        <translation>Конец пройден: найдено с начала</translation>
    </message>
    <message>
        <source>Passed the start: found from the end</source>
        <translation>Начало пройдено: найдено с конца</translation>
    </message>
    <message>
        <source>Template %s expands beyond 16 MB</source>
        <translation>Шаблон %s разрастается больше 16 МБ</translation>
    </message>
    <message>
        <source>BACK</source>
        <translation>НАЗАД</translation>
    </message>
    <message>
        <source>CONTINUE</source>
        <translation>ДАЛЕЕ</translation>
    </message>
    <message>
        <source>The page view cannot be loaded: %s</source>
        <translation>Не удаётся загрузить просмотр страниц: %s</translation>
    </message>
    <message>
        <source>The book file %s was replaced by another book: its position was not saved</source>
        <translation>Файл книги %s заменён другой книгой: место чтения не сохранено</translation>
    </message>
    <message>
        <source>The hyphenation patterns %s cannot be used: hyphenation is off</source>
        <translation>Шаблоны переносов %s непригодны: переносы выключены</translation>
    </message>
    <message>
        <source>The book&apos;s contents are too large to be shown</source>
        <translation>Оглавление книги слишком велико, чтобы его показать</translation>
    </message>
    <message>
        <source>Page %s of the book %s is too large to be shown: choose its paragraphs again (Books, Paragraphs) to cut it into pages</source>
        <translation>Страница %s книги %s слишком велика, чтобы её показать: выберите абзацы заново (Книги, Абзацы), и книга будет разбита на страницы</translation>
    </message>
    <message>
        <source>%s was made from a FictionBook file: its paragraphs are the file&apos;s own and are not built again</source>
        <translation>%s сделана из файла FictionBook: её абзацы взяты из самого файла и заново не строятся</translation>
    </message>
    <message>
        <source>%s is not read: it declares entities (line %s)</source>
        <translation>%s не прочитан: в нём объявлены сущности (строка %s)</translation>
    </message>
    <message>
        <source>%s is not a FictionBook file</source>
        <translation>%s — не файл FictionBook</translation>
    </message>
    <message>
        <source>%s is not a well-formed FictionBook file: line %s (%s)</source>
        <translation>%s — повреждённый файл FictionBook: строка %s (%s)</translation>
    </message>
</context>
<context>
    <name>ProgressWindow</name>
    <message>
        <source>Text Processor</source>
        <translation>Обработка текста</translation>
    </message>
    <message>
        <source>Processing Text</source>
        <translation>Обработка текста</translation>
    </message>
</context>
<context>
    <name>ScrollSpeedDialog</name>
    <message>
        <source>%1 ms per pixel</source>
        <translation>%1 мс на пиксель</translation>
    </message>
    <message>
        <source>%1 pixel per second</source>
        <translation>%1 пиксель в секунду</translation>
    </message>
    <message>
        <source>%1 pixels per second</source>
        <translation>%1 пикс. в секунду</translation>
    </message>
    <message>
        <source>Autoscroll Speed</source>
        <translation>Скорость автопрокрутки</translation>
    </message>
    <message>
        <source>(+) FASTER</source>
        <translation>(+) БЫСТРЕЕ</translation>
    </message>
    <message>
        <source>(-) SLOWER</source>
        <translation>(-) МЕДЛЕННЕЕ</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>ОК</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
</context>
<context>
    <name>StyleDialog</name>
    <message>
        <source>Style Settings</source>
        <translation>Настройки стиля</translation>
    </message>
    <message>
        <source>Sample Title</source>
        <translation>Образец заголовка</translation>
    </message>
    <message>
        <source>Normal Text, </source>
        <translation>Обычный текст, </translation>
    </message>
    <message>
        <source>   Colors   </source>
        <translation>   Цвета   </translation>
    </message>
    <message>
        <source>Normal Text</source>
        <translation>Текст</translation>
    </message>
    <message>
        <source>Titles</source>
        <translation>Заголовки</translation>
    </message>
    <message>
        <source>Background</source>
        <translation>Фон</translation>
    </message>
    <message>
        <source>Presets:</source>
        <translation>Готовые:</translation>
    </message>
    <message>
        <source>Set the three colours for %1 reading</source>
        <translation>Задать три цвета для режима «%1»</translation>
    </message>
    <message>
        <source>   Page   </source>
        <translation>   Страница   </translation>
    </message>
    <message>
        <source>Column width:</source>
        <translation>Ширина колонки:</translation>
    </message>
    <message>
        <source> characters</source>
        <translation> знаков</translation>
    </message>
    <message>
        <source>The width of the text column: about this many characters a line</source>
        <translation>Ширина колонки текста: примерно столько знаков в строке</translation>
    </message>
    <message>
        <source>Line spacing:</source>
        <translation>Межстрочный:</translation>
    </message>
    <message>
        <source>Alignment:</source>
        <translation>Выравнивание:</translation>
    </message>
    <message>
        <source>Justified</source>
        <translation>По ширине</translation>
    </message>
    <message>
        <source>Left</source>
        <translation>По левому краю</translation>
    </message>
    <message>
        <source>Hyphenation</source>
        <translation>Переносы</translation>
    </message>
    <message>
        <source>Break long words at the end of a line, by the book&apos;s language</source>
        <translation>Переносить длинные слова в конце строки по правилам языка книги</translation>
    </message>
    <message>
        <source>First-line indent</source>
        <translation>Абзацный отступ</translation>
    </message>
    <message>
        <source>Space between paragraphs:</source>
        <translation>Между абзацами:</translation>
    </message>
    <message>
        <source>In lines, between paragraphs set without an indent</source>
        <translation>В строках, между абзацами без отступа</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>ОК</translation>
    </message>
    <message>
        <source>%1 is not installed here: the page shows %2 instead.</source>
        <translation>Шрифт %1 не установлен: страница показана шрифтом %2.</translation>
    </message>
    <message>
        <source>Color</source>
        <translation>Цвет</translation>
    </message>
    <message>
        <source>A click at the page&apos;s left or right edge turns a screen</source>
        <translation>Щелчок у левого или правого края страницы листает экран</translation>
    </message>
    <message>
        <source>A click in the left fifth of the page goes a screen back, in the right fifth a screen on</source>
        <translation>Щелчок в левой пятой части страницы — на экран назад, в правой — на экран вперёд</translation>
    </message>
</context>
<context>
    <name>Tavisto</name>
    <message>
        <source>Confirm</source>
        <translation>Подтверждение</translation>
    </message>
    <message>
        <source>Unknown error</source>
        <translation>Неизвестная ошибка</translation>
    </message>
    <message>
        <source>Tavisto is already running.</source>
        <translation>Tavisto уже запущен.</translation>
    </message>
    <message>
        <source>No speech engine: install speech-dispatcher and espeak-ng</source>
        <translation>Нет синтезатора речи: установите speech-dispatcher и espeak-ng</translation>
    </message>
    <message>
        <source>The speech engine does not start: %1</source>
        <translation>Не удалось запустить синтезатор речи: %1</translation>
    </message>
    <message>
        <source>The speech engine does not speak: is there a sound output?</source>
        <translation>Синтезатор речи молчит: подключён ли вывод звука?</translation>
    </message>
    <message>
        <source>The speech engine failed: %1</source>
        <translation>Сбой синтезатора речи: %1</translation>
    </message>
    <message>
        <source>%1 files were not opened: a start hands at most 100 files to the reader running.</source>
        <translation>Не открыто файлов: %1. Запуск передаёт работающей программе не больше 100 файлов.</translation>
    </message>
</context>
<context>
    <name>VoiceDialog</name>
    <message>
        <source>Voice</source>
        <translation>Голос</translation>
    </message>
    <message>
        <source>Voice:</source>
        <translation>Голос:</translation>
    </message>
    <message>
        <source>The voice books are read aloud in</source>
        <translation>Голос, которым книги читаются вслух</translation>
    </message>
    <message>
        <source>Rate:</source>
        <translation>Темп:</translation>
    </message>
    <message>
        <source>Slower to the left, faster to the right</source>
        <translation>Влево — медленнее, вправо — быстрее</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>ОК</translation>
    </message>
    <message>
        <source>The book&apos;s language</source>
        <translation>Язык книги</translation>
    </message>
    <message>
        <source>Variant:</source>
        <translation>Вариант:</translation>
    </message>
    <message>
        <source>The same voice, spoken otherwise</source>
        <translation>Тот же голос, но звучит иначе</translation>
    </message>
    <message>
        <source>very slow</source>
        <translation>очень медленно</translation>
    </message>
    <message>
        <source>slow</source>
        <translation>медленно</translation>
    </message>
    <message>
        <source>normal</source>
        <translation>обычно</translation>
    </message>
    <message>
        <source>fast</source>
        <translation>быстро</translation>
    </message>
    <message>
        <source>very fast</source>
        <translation>очень быстро</translation>
    </message>
    <message>
        <source>none</source>
        <translation>нет</translation>
    </message>
</context>
</TS>
