#include "signlink/multi_recording.h"

#include "signlink/puerto_serie.h"
#include "signlink/turnero.h"

namespace letrador {

namespace {

// The recording window of one sign as its thread sees it: the log is kept for the verdict and
// everything is passed on to the report.
class ReportingView : public RecordingView {
  public:
    ReportingView(SignReport& report, std::size_t sign) : report_(report), sign_(sign) {}

    void prepare() override { log_.clear(); }
    void AgregarLog(std::string_view texto, bool nuevaLinea) override {
        log_.AgregarLog(texto, nuevaLinea);
        report_.AgregarLog(sign_, texto, nuevaLinea);
    }
    void setProgress(std::string_view texto) override { report_.setProgress(sign_, texto); }
    void showClose() override {}

    const RecordingLog& log() const { return log_; }

  private:
    SignReport& report_;
    std::size_t sign_;
    RecordingLog log_;
};

std::string PortPrefix(const std::string& puerto) { return "COM " + puerto + ": "; }

}  // namespace

SignJob WholeMessageJob(std::vector<ParrafoAGrabar> parrafos, bool joined, Int16 spaceWidth) {
    return [parrafos = std::move(parrafos), joined, spaceWidth](Grabador& grabador,
                                                                 const std::string& puerto) {
        RecordWholeMessage(grabador, parrafos, {puerto, joined, spaceWidth});
    };
}

SignJob TurneroJob(int estilo) {
    return [estilo](Grabador& grabador, const std::string& puerto) {
        Turnero(grabador).GrabarTurnero(estilo, puerto);
    };
}

std::string Veredicto(const RecordingLog& log) {
    const std::vector<std::string> lines = log.lines();
    if (lines.size() < 2 || lines.back() != "Grabación finalizada.") return {};
    return lines[lines.size() - 2];
}

MultiRecording::MultiRecording(platform::LinkThreadMaker maker, SignReport& report)
    : maker_(std::move(maker)), report_(report) {}

MultiRecording::~MultiRecording() { wait(); }

void MultiRecording::start(const std::vector<std::string>& puertos, const SignJob& job) {
    wait();
    threads_.clear();
    for (std::size_t k = 0; k < puertos.size(); ++k) {
        threads_.push_back(maker_());
        threads_.back()->start([this, k, puerto = puertos[k], job](platform::SerialLink& link,
                                                                    platform::EventPump& pump,
                                                                    platform::Ticker& ticker) {
            ReportingView view(report_, k);
            {
                PuertoSerie puertoSerie(link, pump, view);
                puertoSerie.connect(ticker);
                Grabador grabador(puertoSerie, view);
                job(grabador, puerto);
                // The handlers point at this sign's PuertoSerie, which ends here.
                link.setReceiveHandler({});
                ticker.setTickHandler({});
            }
            report_.finished(k, Veredicto(view.log()));
        });
    }
}

void MultiRecording::wait() {
    for (auto& t : threads_) t->wait();
}

PrefixedLogPrinter::PrefixedLogPrinter(std::ostream& out, std::vector<std::string> puertos)
    : out_(out), puertos_(std::move(puertos)), verdicts_(puertos_.size()) {
    for (std::size_t k = 0; k < puertos_.size(); ++k) {
        pending_.push_back(std::make_unique<std::ostringstream>());
        views_.push_back(std::make_unique<PlainRecordingView>(pending_.back().get()));
    }
}

void PrefixedLogPrinter::drain(std::size_t sign) {
    std::ostringstream& pending = *pending_[sign];
    const std::string text = pending.str();
    if (text.empty()) return;
    pending.str({});
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        out_ << PortPrefix(puertos_[sign]) << std::string_view(text).substr(start, end - start)
             << '\n';
    }
    out_ << std::flush;
}

void PrefixedLogPrinter::AgregarLog(std::size_t sign, std::string_view texto, bool nuevaLinea) {
    std::lock_guard<std::mutex> lock(mutex_);
    views_[sign]->AgregarLog(texto, nuevaLinea);
    drain(sign);
}

void PrefixedLogPrinter::finished(std::size_t sign, const std::string& veredicto) {
    std::lock_guard<std::mutex> lock(mutex_);
    views_[sign]->flush();
    drain(sign);
    verdicts_[sign] = veredicto;
}

void PrefixedLogPrinter::printSummary() {
    std::lock_guard<std::mutex> lock(mutex_);
    out_ << "Resumen:\n";
    for (std::size_t k = 0; k < puertos_.size(); ++k)
        out_ << PortPrefix(puertos_[k]) << verdicts_[k] << '\n';
    out_ << std::flush;
}

bool PrefixedLogPrinter::allClean() const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const std::string& v : verdicts_)
        if (v != kVeredictoSinErrores) return false;
    return true;
}

}  // namespace letrador
