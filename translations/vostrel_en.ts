<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>TMainForm</name>
    <message>
        <location filename="../src/main/main_form_handlers.cpp" line="124"/>
        <source>%1: записей %2, пропущено %3 (нет K или значения)</source>
        <translation>%1: %2 records written, %3 left out (no K or no value)</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="111"/>
        <source>Открыть файл</source>
        <translation>Open file</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="112"/>
        <source>Запись файл</source>
        <translation>Write table</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="113"/>
        <source>АвтоЗапись</source>
        <translation>Auto write</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="128"/>
        <location filename="../src/main/main_form_layout.cpp" line="240"/>
        <source>Ток, мА</source>
        <translation>Current, mA</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="130"/>
        <source>Напряжение, мВ</source>
        <translation>Voltage, mV</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="131"/>
        <source>t рабочее (полупериод)</source>
        <translation>t window (half-period)</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="134"/>
        <source>Проверить файл</source>
        <translation>Check file</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="135"/>
        <source>Модуль dU</source>
        <translation>Absolute dU</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="136"/>
        <source>Перевернуть dU</source>
        <translation>Flip dU</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="171"/>
        <source>Экспорт</source>
        <translation>Export</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="173"/>
        <source>Недавние</source>
        <translation>Recent</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="176"/>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="228"/>
        <source>Ошибка, %</source>
        <translation>Error, %</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="233"/>
        <location filename="../src/main/main_form_layout.cpp" line="234"/>
        <source>Точность,%</source>
        <translation>Accuracy,%</translation>
    </message>
    <message>
        <location filename="../src/main/main_form_layout.cpp" line="246"/>
        <source>Напряжение,  мВ</source>
        <translation>Voltage,  mV</translation>
    </message>
</context>
</TS>
