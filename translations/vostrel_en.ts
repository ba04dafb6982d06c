<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>Chart</name>
    <message>
        <location filename="../src/chart/chart.cpp" line="1089"/>
        <source>Сохранить %1…</source>
        <translation>Save %1…</translation>
    </message>
    <message>
        <location filename="../src/chart/chart.cpp" line="907"/>
        <source>File access denied</source>
        <translation>File access denied</translation>
    </message>
    <message>
        <location filename="../src/chart/chart.cpp" line="1098"/>
        <source>Сохранить с размером…</source>
        <translation>Save at a size…</translation>
    </message>
    <message>
        <location filename="../src/chart/chart.cpp" line="1104"/>
        <source>Размер, пиксели (ширина x высота)</source>
        <translation>Size, pixels (width x height)</translation>
    </message>
    <message>
        <location filename="../src/chart/chart.cpp" line="897"/>
        <source>Картинка сохраняется в форматах PNG, SVG и PDF: имя должно кончаться на .png, .svg или .pdf</source>
        <translation>Pictures are saved as PNG, SVG and PDF: the name must end in .png, .svg or .pdf</translation>
    </message>
    <message>
        <location filename="../src/chart/chart.cpp" line="888"/>
        <source>Размер картинки: от 1 до %1 пикселей по стороне и не больше %2 млн пикселей всего</source>
        <translation>Picture size: 1 to %1 pixels a side and at most %2 million pixels in all</translation>
    </message>
</context>
<context>
    <name>ControlStrip</name>
    <message>
        <location filename="../src/main/control_strip.cpp" line="22"/>
        <source>Ещё</source>
        <translation>More</translation>
    </message>
</context>
<context>
    <name>CoreError</name>
    <message>
        <location filename="../src/main/language.cpp" line="109"/>
        <source>файл не найден</source>
        <translation>file not found</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="110"/>
        <source>нет доступа к файлу</source>
        <translation>file access denied</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="111"/>
        <source>диск заполнен</source>
        <translation>disk full</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="113"/>
        <source>файл кончился раньше, чем ожидалось: он обрезан или изменился</source>
        <translation>the file ended earlier than expected: it was cut short or changed</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="114"/>
        <source>файл не открыт</source>
        <translation>file not open</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="115"/>
        <source>ошибка ввода-вывода %1</source>
        <translation>I/O error %1</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="116"/>
        <source>это папка, а не съёмка</source>
        <translation>a folder, not a survey</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="118"/>
        <source>это проект профиля, а не съёмка: его открывает «Профиль» → «Открыть профиль…»</source>
        <translation>a line&apos;s project, not a survey: “Line” → “Open line…” opens it</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="119"/>
        <source>не съёмка: файл пуст</source>
        <translation>not a survey: the file is empty</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="121"/>
        <source>не съёмка: файл короче заголовка съёмки (%1 байт, заголовок занимает %2)</source>
        <translation>not a survey: file shorter than its header (%1 bytes, the header takes %2)</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="123"/>
        <source>не съёмка: файл обрывается в таблице электродов</source>
        <translation>not a survey: the file ends inside its electrode table</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="124"/>
        <source>не съёмка: частота дискретизации %1</source>
        <translation>not a survey: sample rate %1</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="126"/>
        <source>не съёмка: недопустимое число отсчётов кривой %1</source>
        <translation>not a survey: invalid samples per curve %1</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="128"/>
        <source>не съёмка: недопустимое число периодов %1</source>
        <translation>not a survey: invalid period count %1</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="130"/>
        <source>не съёмка: недопустимое число электродов %1</source>
        <translation>not a survey: invalid electrode count %1</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="133"/>
        <source>Файл res2dinv задаёт окна M одной задержкой и временем интегрирования: окна с промежутками между ними идут только в таблицу csv и файл ohm</source>
        <translation>The res2dinv file gives M&apos;s gates as one delay and integration time: gates with gaps between them go only to the comma table (csv) and the ohm file</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="136"/>
        <source>Подгонке спада нужны четыре окна или больше (у неё три параметра)</source>
        <translation>The decay&apos;s fit needs four gates or more (it has three parameters)</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="138"/>
        <source>Файл %1 задаёт окна задержкой и ширинами: окна с промежутками между ними идут только в таблицу спадов (csv)</source>
        <translation>The %1 file gives the gates as a delay and widths: gates with gaps between them go only to the decay table (csv)</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="141"/>
        <source>окна записываются как T1:T2,T2:T3 в мс, а не «%1»</source>
        <translation>gates are written T1:T2,T2:T3 in ms, not “%1”</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="142"/>
        <location filename="../src/main/language.cpp" line="160"/>
        <source>окна не заданы</source>
        <translation>no gate given</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="143"/>
        <source>список окон «%1» кончается запятой</source>
        <translation>the gate list “%1” ends with a comma</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="145"/>
        <source>в списке окон «%1» пустое окно между запятыми</source>
        <translation>the gate list “%1” has an empty gate between commas</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="147"/>
        <source>окно записывается как T1:T2 в мс, а не «%1»</source>
        <translation>a gate is written T1:T2 in ms, not “%1”</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="149"/>
        <source>окно %1 мс перевёрнуто: оно кончается раньше, чем начинается</source>
        <translation>gate %1 ms is reversed: it ends before it starts</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="151"/>
        <source>окно %1 мс пусто: оно кончается там же, где начинается</source>
        <translation>gate %1 ms is empty: it ends where it starts</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="152"/>
        <source>окно %1 мс начинается до выключения</source>
        <translation>gate %1 ms starts before the switch-off</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="154"/>
        <source>окно %1 мс начинается раньше конца предыдущего: окна идут по порядку и не перекрываются</source>
        <translation>gate %1 ms starts before the gate before it ends: gates are listed in order and do not overlap</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="157"/>
        <source>окно %1 мс выходит за паузу в %2 мс</source>
        <translation>gate %1 ms lies outside the pause of %2 ms</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="158"/>
        <source>в окне %1 мс нет ни одного отсчёта</source>
        <translation>gate %1 ms holds no sample</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="161"/>
        <source>нет Vp</source>
        <translation>no Vp</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="162"/>
        <source>меньше трёх пауз</source>
        <translation>fewer than three pauses</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="163"/>
        <source>кривая короче своих полупериодов</source>
        <translation>the curve is shorter than its half-periods</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="164"/>
        <source>отсчёт в паузе — не число</source>
        <translation>a sample in a pause is not a number</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="166"/>
        <source>полупериод короче окна усреднения</source>
        <translation>the half-period is shorter than the averaging window</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="167"/>
        <source>меньше четырёх окон</source>
        <translation>fewer than four gates</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="168"/>
        <source>окно — не число</source>
        <translation>a gate is not a number</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="169"/>
        <source>подгонка не нашла модели</source>
        <translation>the fit found no model</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="170"/>
        <source>спад слишком слаб для подгонки</source>
        <translation>the decay is too weak to fit</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="178"/>
        <source> (текстовый файл)</source>
        <translation> (a text file)</translation>
    </message>
</context>
<context>
    <name>CoreMessage</name>
    <message>
        <location filename="../src/main/language.cpp" line="47"/>
        <source>Слишком много данных.
<byte value="xd"/>Максимум=10000</source>
        <translation>Too much data.
<byte value="xd"/>Maximum=10000</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="48"/>
        <source>Слишком большой файл.
<byte value="xd"/>Максимум=2147483647</source>
        <translation>File too large.
<byte value="xd"/>Maximum=2147483647</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="49"/>
        <source>Файл обрывается внутри блока %1.
<byte value="xd"/>Полных блоков: %2, записей: %3</source>
        <translation>The file ends inside block %1.
<byte value="xd"/>Complete blocks: %2, records: %3</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="50"/>
        <source>Блок %1 (байт %2) не похож на блок данных.
<byte value="xd"/>Прочитано блоков: %3, записей: %4; от этого блока до конца файла байт: %5</source>
        <translation>Block %1 (byte %2) is not a data block.
<byte value="xd"/>Blocks read: %3, records: %4; bytes from this block to the end of the file: %5</translation>
    </message>
</context>
<context>
    <name>DecayView</name>
    <message>
        <location filename="../src/views/decay_view.cpp" line="34"/>
        <source>Спад ВП</source>
        <translation>IP decay</translation>
    </message>
    <message>
        <location filename="../src/views/decay_view.cpp" line="47"/>
        <source>Окна, мс:</source>
        <translation>Gates, ms:</translation>
    </message>
    <message>
        <location filename="../src/views/decay_view.cpp" line="50"/>
        <source>Применить</source>
        <translation>Apply</translation>
    </message>
    <message>
        <location filename="../src/views/decay_view.cpp" line="55"/>
        <source>t после выключения, мс</source>
        <translation>t after switch-off, ms</translation>
    </message>
    <message>
        <location filename="../src/views/decay_view.cpp" line="57"/>
        <source>M, мВ/В</source>
        <translation>M, mV/V</translation>
    </message>
    <message>
        <location filename="../src/views/decay_view.cpp" line="63"/>
        <source>спад после выключения</source>
        <translation>decay after switch-off</translation>
    </message>
    <message>
        <location filename="../src/views/decay_view.cpp" line="64"/>
        <source>M окон с ±</source>
        <translation>gates&apos; M with ±</translation>
    </message>
    <message>
        <location filename="../src/views/decay_view.cpp" line="65"/>
        <source>подгонка Коул-Коул</source>
        <translation>Cole-Cole fit</translation>
    </message>
    <message>
        <location filename="../src/views/decay_view.cpp" line="131"/>
        <source>Нет ответа: нужны три паузы в кривой и Vp, отличное от нуля</source>
        <translation>No answer: three pauses in the curve and a Vp other than zero are needed</translation>
    </message>
    <message>
        <location filename="../src/views/decay_view.cpp" line="132"/>
        <source>Нет ответа: %1</source>
        <translation>No answer: %1</translation>
    </message>
    <message>
        <location filename="../src/views/decay_view.cpp" line="160"/>
        <source>M = %1 ± %2 мВ/В   Mt = %3 мс   Vp = %4 мВ</source>
        <translation>M = %1 ± %2 mV/V   Mt = %3 ms   Vp = %4 mV</translation>
    </message>
    <message>
        <location filename="../src/views/decay_view.cpp" line="162"/>
        <source>   фон %1 Гц, %2 мВ убран</source>
        <translation>   hum %1 Hz, %2 mV removed</translation>
    </message>
    <message>
        <location filename="../src/views/decay_view.cpp" line="163"/>
        <source>   выбросов убрано: %1</source>
        <translation>   spikes removed: %1</translation>
    </message>
    <message>
        <location filename="../src/views/decay_view.cpp" line="175"/>
        <source>%1 — спад ВП</source>
        <translation>%1 — IP decay</translation>
    </message>
    <message>
        <location filename="../src/views/decay_view.cpp" line="45"/>
        <source>Экспорт спадов</source>
        <translation>Export decays</translation>
    </message>
    <message>
        <location filename="../src/views/decay_view.cpp" line="93"/>
        <source>спад не монотонен</source>
        <translation>decay not monotone</translation>
    </message>
    <message>
        <location filename="../src/views/decay_view.cpp" line="94"/>
        <source>спад меняет знак</source>
        <translation>decay changes sign</translation>
    </message>
    <message>
        <location filename="../src/views/decay_view.cpp" line="95"/>
        <source>невязка выше порога</source>
        <translation>misfit above the limit</translation>
    </message>
    <message>
        <location filename="../src/views/decay_view.cpp" line="96"/>
        <source>τ вне окон</source>
        <translation>τ outside the gates</translation>
    </message>
    <message>
        <location filename="../src/views/decay_view.cpp" line="109"/>
        <source>Нет подгонки: %1</source>
        <translation>No fit: %1</translation>
    </message>
    <message>
        <location filename="../src/views/decay_view.cpp" line="113"/>
        <source>Коул-Коул: m = %1 ± %2 мВ/В   τ = %3 ± %4 мс   c = %5 ± %6   χ² на окно = %7</source>
        <translation>Cole-Cole: m = %1 ± %2 mV/V   τ = %3 ± %4 ms   c = %5 ± %6   χ² per gate = %7</translation>
    </message>
    <message>
        <location filename="../src/views/decay_view.cpp" line="121"/>
        <source>Флаги: %1</source>
        <translation>Flags: %1</translation>
    </message>
</context>
<context>
    <name>LineMessage</name>
    <message>
        <location filename="../src/main/language.cpp" line="73"/>
        <source>съёмка изменилась после того, как вошла в профиль (другой заголовок)</source>
        <translation>the survey changed since it was added to the line (its header differs)</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="75"/>
        <source>съёмка изменилась после того, как вошла в профиль (размер %1 байт, а был %2)</source>
        <translation>the survey changed since it was added to the line (its size is %1 bytes, not %2)</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="78"/>
        <source>топография не доходит до электрода на %1 м (она от %2 до %3 м по земле)</source>
        <translation>the topography does not reach the electrode at %1 m (it covers %2 to %3 m along the ground)</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="80"/>
        <source>топография не доходит до электрода на %1 м (она от %2 до %3 м)</source>
        <translation>the topography does not reach the electrode at %1 m (it covers %2 to %3 m)</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="82"/>
        <source>нечего записать: исключено %1, без K или R %2</source>
        <translation>no record to write: %1 excluded, %2 without K or R</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="84"/>
        <source>экспорт заменил бы съёмку профиля</source>
        <translation>the export would replace a survey of the line</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="85"/>
        <source>записи %1 нет: в съёмке записи 1..%2</source>
        <translation>record %1 is not in 1..%2</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="87"/>
        <source>в топографии нужно не меньше двух точек</source>
        <translation>a topography needs at least two points</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="88"/>
        <source>в строке нужны одно x и одно z</source>
        <translation>one x and one z expected</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="90"/>
        <source>x %1 не больше предыдущего x (%2): точки должны идти вдоль профиля</source>
        <translation>x %1 does not pass the x before it (%2): the points must go along the line</translation>
    </message>
    <message>
        <location filename="../src/main/language.cpp" line="91"/>
        <source>&apos;%1&apos; — не два числа</source>
        <translation>&apos;%1&apos; is not two numbers</translation>
    </message>
</context>
<context>
    <name>LinePanel</name>
    <message>
        <location filename="../src/main/line_panel.cpp" line="110"/>
        <source>Убрать съёмку</source>
        <translation>Remove survey</translation>
    </message>
    <message>
        <location filename="../src/main/line_panel.cpp" line="86"/>
        <source>Профиль</source>
        <translation>Line</translation>
    </message>
    <message>
        <location filename="../src/main/line_panel.cpp" line="97"/>
        <source>Файл</source>
        <translation>File</translation>
    </message>
    <message>
        <location filename="../src/main/line_panel.cpp" line="97"/>
        <source>Смещение, м</source>
        <translation>Offset, m</translation>
    </message>
    <message>
        <location filename="../src/main/line_panel.cpp" line="97"/>
        <source>Записей</source>
        <translation>Records</translation>
    </message>
    <message>
        <location filename="../src/main/line_panel.cpp" line="108"/>
        <source>Добавить съёмки…</source>
        <translation>Add surveys…</translation>
    </message>
    <message>
        <location filename="../src/main/line_panel.cpp" line="113"/>
        <source>Топография…</source>
        <translation>Topography…</translation>
    </message>
    <message>
        <location filename="../src/main/line_panel.cpp" line="115"/>
        <source>по ленте</source>
        <translation>along the ground</translation>
    </message>
    <message>
        <location filename="../src/main/line_panel.cpp" line="117"/>
        <source>Положения точек и электродов отмерены вдоль склона</source>
        <translation>Point and electrode positions measured along the slope</translation>
    </message>
    <message>
        <location filename="../src/main/line_panel.cpp" line="121"/>
        <source>Исключить записи</source>
        <translation>Exclude records</translation>
    </message>
    <message>
        <location filename="../src/main/line_panel.cpp" line="125"/>
        <source>искл.</source>
        <translation>excl.</translation>
    </message>
    <message>
        <location filename="../src/main/line_panel.cpp" line="126"/>
        <source>Записей, исключённых правилом</source>
        <translation>Records the rule excludes</translation>
    </message>
    <message>
        <location filename="../src/main/line_panel.cpp" line="130"/>
        <source>Ошибка накопления &gt;</source>
        <translation>Stacking error &gt;</translation>
    </message>
    <message>
        <location filename="../src/main/line_panel.cpp" line="136"/>
        <source>Ошибка взаимности &gt;</source>
        <translation>Reciprocal error &gt;</translation>
    </message>
    <message>
        <location filename="../src/main/line_panel.cpp" line="142"/>
        <source>Отрицательное ρк</source>
        <translation>Negative ρa</translation>
    </message>
    <message>
        <location filename="../src/main/line_panel.cpp" line="146"/>
        <source>|K| &gt;</source>
        <translation>|K| &gt;</translation>
    </message>
    <message>
        <location filename="../src/main/line_panel.cpp" line="149"/>
        <source> м</source>
        <translation> m</translation>
    </message>
    <message>
        <location filename="../src/main/line_panel.cpp" line="152"/>
        <source>M вне, мВ/В</source>
        <translation>M outside, mV/V</translation>
    </message>
    <message>
        <location filename="../src/main/line_panel.cpp" line="154"/>
        <source>Записи с поляризуемостью M вне промежутка от и до</source>
        <translation>Records whose chargeability M is outside the range from and to</translation>
    </message>
    <message>
        <location filename="../src/main/line_panel.cpp" line="164"/>
        <source>Электроды, м</source>
        <translation>Electrodes, m</translation>
    </message>
    <message>
        <location filename="../src/main/line_panel.cpp" line="169"/>
        <source>Положения электродов вдоль профиля через пробел или запятую</source>
        <translation>Electrode positions along the line, separated by blanks or commas</translation>
    </message>
    <message>
        <location filename="../src/main/line_panel.cpp" line="189"/>
        <source>Сохранить</source>
        <translation>Save</translation>
    </message>
    <message>
        <location filename="../src/main/line_panel.cpp" line="291"/>
        <source>Профиль не сохранён</source>
        <translation>Line not saved</translation>
    </message>
    <message>
        <location filename="../src/main/line_panel.cpp" line="294"/>
        <source>точек: %1</source>
        <translation>points: %1</translation>
    </message>
    <message>
        <location filename="../src/main/line_panel.cpp" line="294"/>
        <source>земля ровная</source>
        <translation>flat ground</translation>
    </message>
    <message>
        <location filename="../src/main/line_panel.cpp" line="359"/>
        <source>Записи ещё не подсчитаны</source>
        <translation>Records not counted yet</translation>
    </message>
    <message>
        <location filename="../src/main/line_panel.cpp" line="362"/>
        <source>Записей %1, искл. %2, в экспорт %3, вручную %4</source>
        <translation>Records %1, excluded %2, to export %3, by hand %4</translation>
    </message>
    <message>
        <location filename="../src/main/line_panel.cpp" line="173"/>
        <source>Невязка спада &gt;</source>
        <translation>Decay misfit &gt;</translation>
    </message>
    <message>
        <location filename="../src/main/line_panel.cpp" line="175"/>
        <source>Записи, чей спад расходится с моделью Коул-Коула: χ² на окно выше порога</source>
        <translation>Records whose decay departs from its Cole-Cole model: χ² per gate above the limit</translation>
    </message>
    <message>
        <location filename="../src/main/line_panel.cpp" line="179"/>
        <source>Спад немонотонный</source>
        <translation>Decay not monotone</translation>
    </message>
    <message>
        <location filename="../src/main/line_panel.cpp" line="181"/>
        <source>Записи, в чьём спаде окно выше предыдущего сверх ошибки их разности</source>
        <translation>Records whose decay has a gate above the one before beyond the error of their difference</translation>
    </message>
</context>
<context>
    <name>RecordCharts</name>
    <message>
        <location filename="../src/views/record_charts.cpp" line="39"/>
        <source>t, мс</source>
        <translation>t, ms</translation>
    </message>
    <message>
        <location filename="../src/views/record_charts.cpp" line="41"/>
        <source>кривая</source>
        <translation>curve</translation>
    </message>
    <message>
        <location filename="../src/views/record_charts.cpp" line="43"/>
        <source>средние полупериодов</source>
        <translation>half-period means</translation>
    </message>
    <message>
        <location filename="../src/views/record_charts.cpp" line="44"/>
        <source>меандр по окнам</source>
        <translation>square wave by window</translation>
    </message>
    <message>
        <location filename="../src/views/record_charts.cpp" line="79"/>
        <source>%1 — запись %2: A=%3 B=%4 M=%5 N=%6</source>
        <translation>%1 — record %2: A=%3 B=%4 M=%5 N=%6</translation>
    </message>
</context>
<context>
    <name>ScaleControl</name>
    <message>
        <location filename="../src/views/colour_scale.cpp" line="63"/>
        <source>Нижний предел шкалы</source>
        <translation>The scale&apos;s low limit</translation>
    </message>
    <message>
        <location filename="../src/views/colour_scale.cpp" line="64"/>
        <source>Верхний предел шкалы</source>
        <translation>The scale&apos;s high limit</translation>
    </message>
    <message>
        <location filename="../src/views/colour_scale.cpp" line="65"/>
        <source>лог.</source>
        <translation>log</translation>
    </message>
    <message>
        <location filename="../src/views/colour_scale.cpp" line="107"/>
        <source>Пределы шкалы: два числа, нижнее меньше верхнего и больше нуля на логарифмической шкале</source>
        <translation>Scale limits: two numbers, the low one below the high one and above zero on a log scale</translation>
    </message>
    <message>
        <location filename="../src/views/colour_scale.cpp" line="108"/>
        <source>Пределы шкалы: два числа, нижнее меньше верхнего</source>
        <translation>Scale limits: two numbers, the low one below the high one</translation>
    </message>
    <message>
        <location filename="../src/views/colour_scale.cpp" line="53"/>
        <source>Авто</source>
        <translation>Auto</translation>
    </message>
    <message>
        <location filename="../src/views/colour_scale.cpp" line="53"/>
        <source>Задана</source>
        <translation>Fixed</translation>
    </message>
    <message>
        <location filename="../src/views/colour_scale.cpp" line="54"/>
        <source>Шкала цвета: авто, от 2-го до 98-го процентиля показанных значений, или заданная</source>
        <translation>Colour scale: automatic, from the 2nd to the 98th percentile of the values shown, or fixed</translation>
    </message>
</context>
<context>
    <name>SurveyView</name>
    <message>
        <location filename="../src/views/survey_view.cpp" line="45"/>
        <location filename="../src/views/survey_view.cpp" line="160"/>
        <source>ρк, Ом·м</source>
        <translation>ρa, Ω·m</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="46"/>
        <location filename="../src/views/survey_view.cpp" line="160"/>
        <source>M, мВ/В</source>
        <translation>M, mV/V</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="51"/>
        <location filename="../src/views/survey_view.cpp" line="160"/>
        <source>Ошибка, %</source>
        <translation>Error, %</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="148"/>
        <source>Разрез</source>
        <translation>Section</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="47"/>
        <location filename="../src/views/survey_view.cpp" line="160"/>
        <source>Ошибка, классы</source>
        <translation>Error, classes</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="189"/>
        <source>x, м</source>
        <translation>x, m</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="227"/>
        <source>|R|, Ом</source>
        <translation>|R|, Ω</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="228"/>
        <source>|ΔR|, Ом</source>
        <translation>|ΔR|, Ω</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="658"/>
        <source>|ΔR| = %1 %2·|R|, пар %3</source>
        <translation>|ΔR| = %1 %2·|R|, %3 pairs</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="696"/>
        <source>  M=%1 мВ/В</source>
        <translation>  M=%1 mV/V</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="75"/>
        <source>вручную</source>
        <translation>by hand</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="76"/>
        <source>электрод</source>
        <translation>electrode</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="78"/>
        <source>ρк &lt; 0</source>
        <translation>ρa &lt; 0</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="79"/>
        <source>ошибка накопления</source>
        <translation>stacking error</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="80"/>
        <source>взаимная ошибка</source>
        <translation>reciprocal error</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="702"/>
        <source>исключена: %1</source>
        <translation>excluded: %1</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="214"/>
        <source>z, м</source>
        <translation>z, m</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="88"/>
        <source>диполь-диполь</source>
        <translation>dipole-dipole</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="89"/>
        <source>Веннер</source>
        <translation>Wenner</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="90"/>
        <source>Шлюмберже</source>
        <translation>Schlumberger</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="91"/>
        <source>градиент</source>
        <translation>gradient</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="92"/>
        <source>поль-диполь</source>
        <translation>pole-dipole</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="93"/>
        <source>поль-поль</source>
        <translation>pole-pole</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="94"/>
        <source>смешанная установка</source>
        <translation>mixed arrays</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="164"/>
        <source>По высоте</source>
        <translation>In elevation</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="166"/>
        <source>Маркеры на высоте рельефа минус псевдоглубина</source>
        <translation>Markers at the ground&apos;s elevation less their pseudo-depth</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="171"/>
        <source>Меню разреза</source>
        <translation>Section menu</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="174"/>
        <location filename="../src/views/survey_view.cpp" line="207"/>
        <source>Показать всё (Home)</source>
        <translation>Show all (Home)</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="175"/>
        <source>Сохранить картинку…</source>
        <translation>Save picture…</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="176"/>
        <location filename="../src/views/survey_view.cpp" line="208"/>
        <source>Сохранить точки (CSV)…</source>
        <translation>Save points (CSV)…</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="188"/>
        <location filename="../src/views/survey_view.cpp" line="377"/>
        <source>Псевдоглубина, м</source>
        <translation>Pseudo-depth, m</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="343"/>
        <source>%1 — ρк ≤ 0: %2</source>
        <translation>%1 — ρa ≤ 0: %2</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="377"/>
        <source>Высота, м</source>
        <translation>Elevation, m</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="462"/>
        <source>ошибка ≤ 1 %</source>
        <translation>error ≤ 1 %</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="463"/>
        <source>1–5 %</source>
        <translation>1–5 %</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="464"/>
        <source>5–15 %</source>
        <translation>5–15 %</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="465"/>
        <source>&gt; 15 %</source>
        <translation>&gt; 15 %</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="469"/>
        <source>нет значения</source>
        <translation>no value</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="470"/>
        <source>исключена</source>
        <translation>excluded</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="473"/>
        <source>ρк ≤ 0</source>
        <translation>ρa ≤ 0</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="474"/>
        <source>M ≤ 0</source>
        <translation>M ≤ 0</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="475"/>
        <source>≤ 0</source>
        <translation>≤ 0</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="483"/>
        <source>Значений нет: «Проверить файл» заполнит разрез</source>
        <translation>No values: “Check file” fills the section</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="686"/>
        <source>запись %1: A=%2 B=%3 M=%4 N=%5</source>
        <translation>record %1: A=%2 B=%3 M=%4 N=%5</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="689"/>
        <source>  x=%1 м  псевдоглубина=%2 м</source>
        <translation>  x=%1 m  pseudo-depth=%2 m</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="691"/>
        <source>  ρк=%1 Ом·м  ошибка=%2%</source>
        <translation>  ρa=%1 Ω·m  error=%2%</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="711"/>
        <source>цвет по наибольшей ошибке</source>
        <translation>coloured by the largest error</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="712"/>
        <source>цвет по худшему классу</source>
        <translation>coloured by the worst class</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="713"/>
        <source>цвет по медиане</source>
        <translation>coloured by the median</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="714"/>
        <source>записей в одном месте: %1, x=%2 м  псевдоглубина=%3 м, %4</source>
        <translation>records in one place: %1, x=%2 m  pseudo-depth=%3 m, %4</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="761"/>
        <source>Таблица CSV (*.csv)</source>
        <translation>CSV table (*.csv)</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="48"/>
        <location filename="../src/views/survey_view.cpp" line="160"/>
        <source>τ спада, мс</source>
        <translation>Decay τ, ms</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="49"/>
        <location filename="../src/views/survey_view.cpp" line="161"/>
        <source>c спада</source>
        <translation>Decay c</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="50"/>
        <location filename="../src/views/survey_view.cpp" line="161"/>
        <source>Невязка спада, χ²</source>
        <translation>Decay misfit, χ²</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="82"/>
        <source>невязка спада</source>
        <translation>decay misfit</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="83"/>
        <source>спад немонотонный</source>
        <translation>decay not monotone</translation>
    </message>
    <message>
        <location filename="../src/views/survey_view.cpp" line="698"/>
        <source>  τ=%1 мс  c=%2  χ²=%3</source>
        <translation>  τ=%1 ms  c=%2  χ²=%3</translation>
    </message>
</context>
<context>
    <name>TMainForm</name>
    <message>
        <location filename="../src/main/main_form_handlers.cpp" line="92"/>
        <source>%1: съёмка не открыта: в ней нет ни одной записи</source>
        <translation>%1: the survey was not opened: it holds no record</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_handlers.cpp" line="188"/>
        <source>Нет записей для экспорта</source>
        <translation>No records to export</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_handlers.cpp" line="164"/>
        <source>Записи «%1» нет: номера записей 1..%2</source>
        <translation>There is no record “%1”: the records are 1..%2</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_handlers.cpp" line="287"/>
        <source>Экспорт остановлен: файл не записан</source>
        <translation>Export stopped: no file written</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_handlers.cpp" line="294"/>
        <source>проверка остановлена: проверено записей %1 из %2</source>
        <translation>check stopped: %1 of %2 records checked</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_line.cpp" line="437"/>
        <source>%1 не входит в профиль</source>
        <translation>%1 is not a survey of the line</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_line.cpp" line="40"/>
        <location filename="../src/main/main_form_line.cpp" line="105"/>
        <source>Сохранить профиль</source>
        <translation>Save line</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_line.cpp" line="43"/>
        <source>Открыть профиль</source>
        <translation>Open line</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_line.cpp" line="45"/>
        <source>Съёмки профиля</source>
        <translation>Surveys of the line</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_line.cpp" line="48"/>
        <source>Топография</source>
        <translation>Topography</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_line.cpp" line="49"/>
        <source>Топография (*.txt *.csv *.dat);;Все файлы (*)</source>
        <translation>Topography (*.txt *.csv *.dat);;All files (*)</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_line.cpp" line="55"/>
        <location filename="../src/main/main_form_line.cpp" line="68"/>
        <source>Профиль</source>
        <translation>Line</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_line.cpp" line="56"/>
        <source>Сохранить изменения профиля %1?</source>
        <translation>Save the changes to the line %1?</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_line.cpp" line="102"/>
        <source>Новый профиль из этой съёмки…</source>
        <translation>New line from this survey…</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_line.cpp" line="104"/>
        <source>Открыть профиль…</source>
        <translation>Open line…</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_line.cpp" line="106"/>
        <source>Сохранить профиль как…</source>
        <translation>Save line as…</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_line.cpp" line="108"/>
        <source>Съёмки и правила…</source>
        <translation>Surveys and rules…</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_line.cpp" line="112"/>
        <source>Закрыть профиль</source>
        <translation>Close line</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_check.cpp" line="124"/>
        <location filename="../src/main/main_form_layout.cpp" line="229"/>
        <location filename="../src/main/main_form_line.cpp" line="232"/>
        <source>Разрез</source>
        <translation>Section</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_line.cpp" line="313"/>
        <source>%1: искл. %2 из %3</source>
        <translation>%1: %2 of %3 excluded</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_line.cpp" line="322"/>
        <source>Разрез — %1%2: записей %3, исключено %4</source>
        <translation>Section — %1%2: %3 records, %4 excluded</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_decay.cpp" line="88"/>
        <location filename="../src/main/main_form_line.cpp" line="499"/>
        <source>Записан %1: записей %2, исключено %3</source>
        <translation>Wrote %1: %2 records, %3 excluded</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_handlers.cpp" line="43"/>
        <source>Папка экспорта</source>
        <translation>Export folder</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_handlers.cpp" line="220"/>
        <source>Пропущено записей: %1 (%2)</source>
        <translation>Records left out: %1 (%2)</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_handlers.cpp" line="222"/>
        <source>нет целой подгонки спада</source>
        <translation>no whole fit of the decay</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_handlers.cpp" line="223"/>
        <source>нет K, значения или M</source>
        <translation>no K, value or M</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_handlers.cpp" line="224"/>
        <source>нет K или значения</source>
        <translation>no K or no value</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_handlers.cpp" line="231"/>
        <source>Папка съёмки</source>
        <translation>Survey folder</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_handlers.cpp" line="243"/>
        <source>Другая папка…</source>
        <translation>Other folder…</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_handlers.cpp" line="244"/>
        <source>Экспорт в: %1</source>
        <translation>Exports go to: %1</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_handlers.cpp" line="244"/>
        <source>папку съёмки</source>
        <translation>the survey folder</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_handlers.cpp" line="304"/>
        <source>Проверка остановлена: проверено записей %1 из %2</source>
        <translation>Check stopped: %1 of %2 records checked</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="234"/>
        <source>Папка</source>
        <translation>Folder</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="141"/>
        <source>Открыть файл</source>
        <translation>Open file</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="142"/>
        <source>Запись файл</source>
        <translation>Write table</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="143"/>
        <source>АвтоЗапись</source>
        <translation>Auto write</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="158"/>
        <location filename="../src/main/main_form_layout.cpp" line="359"/>
        <source>Ток, мА</source>
        <translation>Current, mA</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="160"/>
        <source>Напряжение, мВ</source>
        <translation>Voltage, mV</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="161"/>
        <source>t рабочее (полупериод)</source>
        <translation>t window (half-period)</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="164"/>
        <source>Проверить файл</source>
        <translation>Check file</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="165"/>
        <source>Модуль dU</source>
        <translation>Absolute dU</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="166"/>
        <source>Перевернуть dU</source>
        <translation>Flip dU</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="214"/>
        <source>Экспорт</source>
        <translation>Export</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="225"/>
        <source>Недавние</source>
        <translation>Recent</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="209"/>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="231"/>
        <source>Спад ВП</source>
        <translation>IP decay</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_check.cpp" line="30"/>
        <location filename="../src/main/main_form_check.cpp" line="48"/>
        <location filename="../src/main/main_form_handlers.cpp" line="299"/>
        <location filename="../src/main/main_form_layout.cpp" line="347"/>
        <source>Ошибка, %</source>
        <translation>Error, %</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="352"/>
        <location filename="../src/main/main_form_layout.cpp" line="353"/>
        <source>Точность,%</source>
        <translation>Accuracy,%</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="365"/>
        <source>Напряжение,  мВ</source>
        <translation>Voltage,  mV</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_handlers.cpp" line="210"/>
        <source>Записан %1: записей %2</source>
        <translation>Wrote %1: %2 records</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_handlers.cpp" line="286"/>
        <source>Экспорт остановлен: файл не записан, прежний остался как был</source>
        <translation>Export stopped: no file written, the old one is as it was</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_handlers.cpp" line="212"/>
        <source>Съёмка неполна: %1</source>
        <translation>The survey is incomplete: %1</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="275"/>
        <source>%1 убран из списка недавних</source>
        <translation>%1 removed from the recent surveys</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_line.cpp" line="34"/>
        <source>Профили (*.vln)</source>
        <translation>Lines (*.vln)</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_handlers.cpp" line="48"/>
        <location filename="../src/main/main_form_line.cpp" line="46"/>
        <source>Съёмки (*.qmr)</source>
        <translation>Surveys (*.qmr)</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_handlers.cpp" line="130"/>
        <source>%1 — профиль %2</source>
        <translation>%1 — line %2</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_handlers.cpp" line="201"/>
        <source>Нет доступа на запись: %1
Экспорт можно направить в другую папку: «Папка» → «Другая папка…».</source>
        <translation>No write access: %1
The export can go to another folder: “Folder” → “Other folder…”.</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_line.cpp" line="491"/>
        <source>Нет доступа на запись: %1
Профиль можно сохранить в другой папке: «Профиль» → «Сохранить профиль как…».</source>
        <translation>No write access: %1
The line can be saved in another folder: “Line” → “Save line as…”.</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_line.cpp" line="314"/>
        <source>искл. %1 из %2</source>
        <translation>excl. %1 of %2</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_line.cpp" line="110"/>
        <source>Вычислить заново</source>
        <translation>Evaluate again</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_line.cpp" line="328"/>
        <source> — прежний расчёт: «Вычислить заново»</source>
        <translation> — an earlier evaluation: “Evaluate again”</translation>
    </message>
</context>
</TS>
