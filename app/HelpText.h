#pragma once

class QString;

// The help message: four items separated by empty lines, CR LF line ends.
QString helpText();
QString helpTitle();
