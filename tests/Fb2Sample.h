// A small FictionBook with every part a book made from one shows: a cover,
// titles, epigraphs, a poem, a citation, a table, marked words, a note and a
// picture. encoding: the declaration's ("utf-8", "windows-1251"); the caller
// writes the text in it. picture: a PNG as base64.
#pragma once

#include <string>

inline std::string SampleFictionBook(const std::string& encoding, const std::string& picture) {
    return R"(<?xml version="1.0" encoding=")" + encoding + R"("?>
<FictionBook xmlns="http://www.gribuser.ru/xml/fictionbook/2.0" xmlns:l="http://www.w3.org/1999/xlink">
<description><title-info><genre>prose_classic</genre>
<author><first-name>Александр</first-name><middle-name>Сергеевич</middle-name><last-name>Пушкин</last-name></author>
<book-title>Капитанская дочка</book-title>
<annotation><p>Повесть о любви и чести.</p><p>Пугачёвщина глазами молодого офицера.</p></annotation>
<lang>ru</lang><sequence name="Повести" number="3"/>
<coverpage><image l:href="#cover.png"/></coverpage>
</title-info></description>
<body>
<title><p>Капитанская дочка</p></title>
<epigraph><p>Береги честь смолоду.</p><text-author>Пословица</text-author></epigraph>
<section><title><p>Глава I</p><p>Сержант гвардии</p></title>
<epigraph><poem><stanza><v>— Был бы гвардии он завтра ж капитан.</v><v>— Того не надобно; пусть в армии послужит.</v></stanza></poem><text-author>Княжнин</text-author></epigraph>
<p>Отец мой <emphasis>Андрей Петрович Гринёв</emphasis> в молодости своей служил при графе Минихе<a l:href="#n1" type="note">[1]</a> и вышел в отставку премьер-майором в 17.. году.</p>
<p>С тех пор жил он в своей Симбирской деревне, где и женился на девице <strong>Авдотье Васильевне Ю.</strong>, дочери бедного тамошнего дворянина &amp; соседа.</p>
<empty-line/>
<poem><title><p>Песня</p></title><stanza><v>Мы в фортеции живём,</v><v>Хлеб едим и воду пьём;</v></stanza><stanza><v>А как лютые враги</v><v>Придут к нам на пироги,</v></stanza><text-author>Солдатская песня</text-author></poem>
<cite><p>Любезный друг, я получил письмо твоё.</p><text-author>Андрей Гринёв</text-author></cite>
<image l:href="#cover.png"/>
<table><tr><th>Имя</th><th>Чин</th></tr><tr><td>Гринёв</td><td>прапорщик</td></tr></table>
<subtitle>* * *</subtitle>
<p>H<sub>2</sub>O, E=mc<sup>2</sup>, <strikethrough>вычеркнуто</strikethrough>, <code>a &lt; b</code>.</p>
</section>
<section><title><p>Глава II</p><p>Вожатый</p></title><p>Сторона мне незнакомая!</p></section>
</body>
<body name="notes"><title><p>Примечания</p></title>
<section id="n1"><title><p>1</p></title><p>Миних — <emphasis>фельдмаршал</emphasis>.</p></section>
</body>
<binary id="cover.png" content-type="image/png">)" +
           picture + R"(</binary>
<binary id="broken.jpg" content-type="image/jpeg">!!! no base64 !!!</binary>
</FictionBook>
)";
}
