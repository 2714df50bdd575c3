// The printer object: the chosen printer's device context and a canvas on it.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "framework/Canvas.h"
#include "framework/GdiHandles.h"

namespace framework {

class TPrinter {
 public:
  TPrinter();
  ~TPrinter();
  TPrinter(const TPrinter&) = delete;
  TPrinter& operator=(const TPrinter&) = delete;

  // The chosen printer; an empty name means the system's default printer.
  void SetPrinterName(const std::string& name);

  // The chosen printer's device context, made on first use and owned by the printer object; raises
  // EPrinter when there is no such printer.
  HDC Handle();
  // The canvas on Handle(); its font keeps its size in points at the printer's resolution.
  TCanvas& Canvas();

 private:
  class TPrinterCanvas;
  void FreeHandle();

  std::string name_;
  TDCHandle dc_;  // the chosen printer's DC from CreateDC
  std::unique_ptr<TPrinterCanvas> canvas_;
};

// The process's printer object, made on first use.
TPrinter& Printer();

}  // namespace framework
