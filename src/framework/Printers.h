// The printer object: the system's printers, the chosen one's device context, a canvas on it and
// the steps of a print job.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/Canvas.h"
#include "framework/GdiHandles.h"

namespace framework {

class TPrinter {
 public:
  TPrinter();
  ~TPrinter();
  TPrinter(const TPrinter&) = delete;
  TPrinter& operator=(const TPrinter&) = delete;

  // The names of the installed printers (CP932), read anew on each call.
  static std::vector<std::string> Printers();
  // The chosen printer; an empty name means the system's default printer. Raises EPrinter while a
  // job is running.
  const std::string& PrinterName() const { return name_; }
  void SetPrinterName(const std::string& name);

  // The chosen printer's device context, made on first use and owned by the printer object; raises
  // EPrinter when there is no such printer.
  HDC Handle();
  // The canvas on Handle(); its font keeps its size in points at the printer's resolution.
  TCanvas& Canvas();
  int32_t PageWidth();  // pixels

  // A print job: BeginDoc starts the document (written to outputFile when one is given) and its
  // first page; EndDoc ends both, Abort drops the job.
  std::string Title;  // CP932
  void BeginDoc(const std::string& outputFile = {});
  void NewPage();
  void EndDoc();
  void Abort();
  bool Printing() const { return printing_; }
  int32_t PageNumber() const { return pageNumber_; }

 private:
  class TPrinterCanvas;
  void FreeHandle();

  std::string name_;
  TDCHandle dc_;  // the chosen printer's DC from CreateDC
  std::unique_ptr<TPrinterCanvas> canvas_;
  bool printing_ = false;
  int32_t pageNumber_ = 0;
};

// The process's printer object, made on first use.
TPrinter& Printer();

}  // namespace framework
